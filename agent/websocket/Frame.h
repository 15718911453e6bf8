#pragma once

#include <array>
#include <cstdint>
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
    std::int32_t Payloadlen = 0;
    std::int32_t DataOffset = 0; // index of the first payload byte

    // Header plus payload: the bytes the whole frame occupies.
    std::int64_t frameLength() const { return std::int64_t(DataOffset) + Payloadlen; }
};

// Why a frame header cannot be taken; the connection ends.
enum class FrameViolation {
    LengthAbove32Bits, // 64-bit length with any of its high four bytes set
    LengthAboveInt32,  // 64-bit length that does not fit a signed 32-bit value
    LengthZero64,      // 64-bit length form announcing nothing
};

const char* ViolationText(FrameViolation v);

// One of three outcomes of decoding the header at the start of a buffer.
struct HeaderResult {
    enum class Outcome { NeedMore, Header, Violation };
    Outcome outcome = Outcome::NeedMore;
    FrameHeader header;                                      // Header; for a Violation, FIN and Opcode
    FrameViolation violation = FrameViolation::LengthZero64; // Violation
};

// Decodes the header at the start of `b`: NeedMore while `b` ends inside the header it announces, a
// Violation as soon as the length shows one (possibly before the whole header has arrived).
HeaderResult AnalyzeHeader(std::string_view b);

// XORs n bytes with the masking key, starting at key position `phase` (mod 4).
void UnmaskBytes(char* p, std::size_t n, const std::array<std::uint8_t, 4>& key, std::size_t phase);

// An unmasked final frame. Throws std::length_error for an empty payload or one above
// kMaxPackedPayload bytes (the 64-bit length form is never produced).
std::string PackData(std::string_view payload, std::int32_t opcode);

// PackData of the text's UTF-8 bytes.
std::string PackString(std::u16string_view text, std::int32_t opcode);
std::string PackString(std::string_view utf8Text, std::int32_t opcode);

// The answer to every ping and pong: 8A 00, whatever the ping carried.
std::string PongFrame();

} // namespace mWSProtocol
