#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace mWSProtocol {

// An upgrade request must show its empty line within this many bytes.
inline constexpr std::size_t kMaxHandshakeBytes = 16 * 1024;

// Largest inbound frame payload: the length must fit a signed 32-bit value.
inline constexpr std::int32_t kMaxFramePayload = INT32_MAX;

inline constexpr std::size_t kMiB = 1024 * 1024;

// Largest message the agent takes by default, all its fragments together: above the largest print
// request (32,767 rows of about 2 KiB each). A connection that announces or sends more is answered
// as an unreadable request and closed before the bytes are kept. [Verolux] MaxMessageMB changes it.
inline constexpr std::size_t kMaxMessageBytes = 256 * kMiB;
// The setting's range in MiB; anything else keeps the default.
inline constexpr std::size_t kMaxMessageMBSetting = 2047;

// Largest payload an outbound frame carries: only the 16-bit length form is produced.
inline constexpr std::size_t kMaxPackedPayload = 65535;

// A connection keeps its message buffer for the next message up to this capacity.
inline constexpr std::size_t kRetainedBufferBytes = 16 * 1024 * 1024;

// Longest frame header: 2 bytes, 8-byte length, 4-byte masking key.
inline constexpr std::size_t kMaxFrameHeaderBytes = 14;

// How much message text the agent keeps: per message, and for the unfinished messages of all
// connections together (twice a message, so that one message of the largest size can always be
// completed while others wait).
struct MessageLimits {
    std::size_t maxMessageBytes = kMaxMessageBytes;
    std::size_t totalBytes = 2 * kMaxMessageBytes;
};

// The limits for the text of [Verolux] MaxMessageMB: a whole number of MiB from 1 to 2047, blanks
// around it allowed; anything else (empty, 0, not a number, too large) gives the defaults.
MessageLimits MessageLimitsFromSetting(std::string_view maxMessageMB);

} // namespace mWSProtocol
