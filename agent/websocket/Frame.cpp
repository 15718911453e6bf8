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

std::optional<FrameHeader> AnalyzeHeader(std::string_view b) {
    if (b.size() < 2) return std::nullopt;
    FrameHeader h;
    const std::uint8_t b0 = byteAt(b, 0), b1 = byteAt(b, 1);
    h.FIN = (b0 & 0x80) != 0;
    h.RSV1 = (b0 & 0x40) != 0;
    h.RSV2 = (b0 & 0x20) != 0;
    h.RSV3 = (b0 & 0x10) != 0;
    h.Opcode = b0 & 0x7F;
    h.MASK = (b1 & 0x80) != 0;
    const std::uint8_t len = b1 & 0x7F;

    std::size_t keyAt;
    if (len <= 125) {
        h.Payloadlen = len;
        keyAt = 2;
    } else if (len == 126) {
        if (b.size() < 4) return std::nullopt;
        h.Payloadlen = byteAt(b, 2) * 256 + byteAt(b, 3);
        keyAt = 4;
    } else {
        if (b.size() < 6) return std::nullopt;
        if (byteAt(b, 2) | byteAt(b, 3) | byteAt(b, 4) | byteAt(b, 5)) {
            h.Payloadlen = -1;
            h.DataOffset = 0;
            return h;
        }
        if (b.size() < 10) return std::nullopt;
        const std::uint32_t low = (std::uint32_t(byteAt(b, 6)) << 24) | (std::uint32_t(byteAt(b, 7)) << 16) |
                                  (std::uint32_t(byteAt(b, 8)) << 8) | std::uint32_t(byteAt(b, 9));
        if (low == 0 || low > std::uint32_t(kMaxFramePayload)) {
            h.Payloadlen = -1;
            h.DataOffset = 0;
            return h;
        }
        h.Payloadlen = static_cast<std::int32_t>(low);
        keyAt = 10;
    }
    if (h.MASK) {
        if (b.size() < keyAt + 4) return std::nullopt;
        for (std::size_t i = 0; i < 4; ++i)
            h.MaskingKey[i] = byteAt(b, keyAt + i);
        h.DataOffset = static_cast<std::int32_t>(keyAt + 4);
    } else {
        h.DataOffset = static_cast<std::int32_t>(keyAt);
    }
    return h;
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

void UnmaskData(std::string& b, const FrameHeader& h) {
    if (!h.MASK || h.Payloadlen < 0 || std::int64_t(b.size()) < h.frameLength()) return;
    UnmaskBytes(b.data() + h.DataOffset, static_cast<std::size_t>(h.Payloadlen), h.MaskingKey, 0);
}

std::string PickData(std::string& b, const FrameHeader& h) {
    if (h.Payloadlen < 1) throw std::invalid_argument("PickData: no payload");
    if (std::int64_t(b.size()) < h.frameLength()) throw std::invalid_argument("PickData: frame incomplete");
    UnmaskData(b, h);
    return b.substr(static_cast<std::size_t>(h.DataOffset), static_cast<std::size_t>(h.Payloadlen));
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

std::int64_t SafeUBound(std::string_view buffer) {
    return static_cast<std::int64_t>(buffer.size()) - 1;
}

void AppendBytes(std::string& dest, std::string_view src) {
    if (!src.empty()) dest.append(src);
}

} // namespace mWSProtocol
