#include "agent/websocket/Frame.h"

#include "agent/websocket/UTF8.h"
#include "agent/websocket/WsLimits.h"

#include <cstring>
#include <stdexcept>

namespace mWSProtocol {

namespace {
std::uint8_t byteAt(std::string_view b, std::size_t i) {
    return static_cast<std::uint8_t>(b[i]);
}
} // namespace

const char* ViolationText(FrameViolation v) {
    switch (v) {
    case FrameViolation::LengthAbove32Bits:
        return "frame length above 32 bits";
    case FrameViolation::LengthAboveInt32:
        return "frame length above 2147483647";
    case FrameViolation::LengthZero64:
        return "64-bit frame length of zero";
    }
    return "frame violation";
}

HeaderResult AnalyzeHeader(std::string_view b) {
    HeaderResult r;
    if (b.size() < 2) return r;
    FrameHeader& h = r.header;
    const std::uint8_t b0 = byteAt(b, 0), b1 = byteAt(b, 1);
    h.FIN = (b0 & 0x80) != 0;
    h.RSV1 = (b0 & 0x40) != 0;
    h.RSV2 = (b0 & 0x20) != 0;
    h.RSV3 = (b0 & 0x10) != 0;
    h.Opcode = b0 & 0x7F;
    h.MASK = (b1 & 0x80) != 0;
    const std::uint8_t len = b1 & 0x7F;
    const auto violation = [&r](FrameViolation v) {
        r.outcome = HeaderResult::Outcome::Violation;
        r.violation = v;
        return r;
    };

    std::size_t keyAt;
    if (len <= 125) {
        h.Payloadlen = len;
        keyAt = 2;
    } else if (len == 126) {
        if (b.size() < 4) return r;
        h.Payloadlen = byteAt(b, 2) * 256 + byteAt(b, 3);
        keyAt = 4;
    } else {
        if (b.size() < 6) return r;
        if (byteAt(b, 2) | byteAt(b, 3) | byteAt(b, 4) | byteAt(b, 5))
            return violation(FrameViolation::LengthAbove32Bits);
        if (b.size() < 10) return r;
        const std::uint32_t low = (std::uint32_t(byteAt(b, 6)) << 24) | (std::uint32_t(byteAt(b, 7)) << 16) |
                                  (std::uint32_t(byteAt(b, 8)) << 8) | std::uint32_t(byteAt(b, 9));
        if (low == 0) return violation(FrameViolation::LengthZero64);
        if (low > std::uint32_t(kMaxFramePayload)) return violation(FrameViolation::LengthAboveInt32);
        h.Payloadlen = static_cast<std::int32_t>(low);
        keyAt = 10;
    }
    if (h.MASK) {
        if (b.size() < keyAt + 4) return r;
        for (std::size_t i = 0; i < 4; ++i)
            h.MaskingKey[i] = byteAt(b, keyAt + i);
        h.DataOffset = static_cast<std::int32_t>(keyAt + 4);
    } else {
        h.DataOffset = static_cast<std::int32_t>(keyAt);
    }
    r.outcome = HeaderResult::Outcome::Header;
    return r;
}

void UnmaskBytes(char* p, std::size_t n, const std::array<std::uint8_t, 4>& key, std::size_t phase) {
    // The key rotated so that byte 0 of each 8-byte step lines up with p.
    std::uint8_t rotated[8];
    for (std::size_t i = 0; i < 8; ++i)
        rotated[i] = key[(phase + i) & 3];
    std::uint64_t word;
    std::memcpy(&word, rotated, 8);
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t chunk;
        std::memcpy(&chunk, p + i, 8);
        chunk ^= word;
        std::memcpy(p + i, &chunk, 8);
    }
    for (; i < n; ++i)
        p[i] = static_cast<char>(static_cast<std::uint8_t>(p[i]) ^ rotated[i & 7]);
}

std::string PackData(std::string_view payload, std::int32_t opcode) {
    const std::size_t n = payload.size();
    if (n == 0) throw std::length_error("PackData: empty payload");
    if (n > kMaxPackedPayload) throw std::length_error("PackData: payload above 65535 bytes");
    std::string frame;
    frame.reserve(n + 4);
    frame += static_cast<char>(0x80 | (opcode & 0x7F));
    if (n <= 125) {
        frame += static_cast<char>(n);
    } else {
        frame += static_cast<char>(126);
        frame += static_cast<char>(n >> 8);
        frame += static_cast<char>(n & 0xFF);
    }
    frame.append(payload);
    return frame;
}

std::string PackString(std::u16string_view text, std::int32_t opcode) {
    return PackData(mUTF8::StringToUtf8(text), opcode);
}

std::string PackString(std::string_view utf8Text, std::int32_t opcode) {
    return PackData(utf8Text, opcode);
}

std::string PongFrame() {
    return std::string("\x8A\x00", 2);
}

} // namespace mWSProtocol
