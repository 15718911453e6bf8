#pragma once

#include <cstddef>
#include <cstdint>

namespace mWSProtocol {

// An upgrade request must show its empty line within this many bytes.
inline constexpr std::size_t kMaxHandshakeBytes = 16 * 1024;

// Largest inbound frame payload: the length must fit a signed 32-bit value.
inline constexpr std::int32_t kMaxFramePayload = INT32_MAX;

// Largest message the agent takes, all its fragments together: far above any print request, and a
// connection that announces or sends more is dropped before the bytes are kept.
inline constexpr std::size_t kMaxMessageBytes = 64 * 1024 * 1024;

// Largest payload an outbound frame carries: only the 16-bit length form is produced.
inline constexpr std::size_t kMaxPackedPayload = 65535;

// A connection keeps its message buffer for the next message up to this capacity.
inline constexpr std::size_t kRetainedBufferBytes = 16 * 1024 * 1024;

// Longest frame header: 2 bytes, 8-byte length, 4-byte masking key.
inline constexpr std::size_t kMaxFrameHeaderBytes = 14;

} // namespace mWSProtocol
