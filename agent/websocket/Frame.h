#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mWSProtocol {

// Opcode values by the names the log uses.
inline constexpr std::int32_t opContin = 0;
inline constexpr std::int32_t opText = 1;
inline constexpr std::int32_t opBinary = 2;
inline constexpr std::int32_t opClose = 8;
inline constexpr std::int32_t opPing = 9;
inline constexpr std::int32_t opPong = 10;

// A decoded frame header. Opcode keeps the reserved bits, so a frame with any of them set
// decodes to 16 or more and counts as unknown.
struct FrameHeader {
    bool FIN = false;
    bool RSV1 = false;
    bool RSV2 = false;
    bool RSV3 = false;
    std::int32_t Opcode = 0;
    bool MASK = false;
    std::array<std::uint8_t, 4> MaskingKey{};
    std::int32_t Payloadlen = 0; // -1: too large to handle (or a 64-bit length of zero)
    std::int32_t DataOffset = 0; // 0 when Payloadlen is -1

    // Header plus payload: the bytes the whole frame occupies.
    std::int64_t frameLength() const { return std::int64_t(DataOffset) + Payloadlen; }
};

// Decodes the header at the start of `b`. Empty when `b` ends inside the header it announces
// (the caller waits for more bytes). A length that cannot be handled yields Payloadlen -1 as
// soon as that is known.
std::optional<FrameHeader> AnalyzeHeader(std::string_view b);

// XORs n bytes with the masking key, starting at key position `phase` (mod 4).
void UnmaskBytes(char* p, std::size_t n, const std::array<std::uint8_t, 4>& key, std::size_t phase);

// Unmasks the frame's payload in place; leaves `b` alone when MASK is clear or the frame is
// not complete in `b`.
void UnmaskData(std::string& b, const FrameHeader& h);

// Unmasks `b` in place and returns a copy of the payload. Throws std::invalid_argument when
// Payloadlen is below 1 or `b` does not hold the whole frame.
std::string PickData(std::string& b, const FrameHeader& h);

// An unmasked final frame. Throws std::length_error for an empty payload or one above
// kMaxPackedPayload bytes (the 64-bit length form is never produced).
std::string PackData(std::string_view payload, std::int32_t opcode);

// PackData of the text's UTF-8 bytes.
std::string PackString(std::u16string_view text, std::int32_t opcode);
std::string PackString(std::string_view utf8Text, std::int32_t opcode);

// The answer to every ping and pong: 8A 00, whatever the ping carried.
std::string PongFrame();

// Highest index of a buffer, -1 when empty.
std::int64_t SafeUBound(std::string_view buffer);

// Appends src to dest (nothing happens for an empty src).
void AppendBytes(std::string& dest, std::string_view src);

} // namespace mWSProtocol
