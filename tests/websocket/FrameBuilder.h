#pragma once

// Builds client frames for tests, byte by byte from RFC 6455 section 5.2, independently of the
// production encoder.

#include <array>
#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>

namespace wstest {

struct FrameOptions {
    bool fin = true;
    bool masked = true;
    std::uint8_t rsv = 0; // bits 6..4 of byte 0, already shifted (e.g. 0x40 for RSV1)
    std::array<std::uint8_t, 4> key{0x37, 0xFA, 0x21, 0x3D};
};

inline std::string frame(std::uint8_t opcode, std::string_view payload, FrameOptions o = {}) {
    std::string f;
    f += static_cast<char>((o.fin ? 0x80 : 0x00) | o.rsv | (opcode & 0x0F));
    const std::uint8_t maskBit = o.masked ? 0x80 : 0x00;
    const std::uint64_t n = payload.size();
    if (n <= 125) {
        f += static_cast<char>(maskBit | n);
    } else if (n <= 0xFFFF) {
        f += static_cast<char>(maskBit | 126);
        f += static_cast<char>((n >> 8) & 0xFF);
        f += static_cast<char>(n & 0xFF);
    } else {
        f += static_cast<char>(maskBit | 127);
        for (int shift = 56; shift >= 0; shift -= 8)
            f += static_cast<char>((n >> shift) & 0xFF);
    }
    if (o.masked) {
        for (std::uint8_t k : o.key)
            f += static_cast<char>(k);
        for (std::size_t i = 0; i < payload.size(); ++i)
            f += static_cast<char>(static_cast<std::uint8_t>(payload[i]) ^ o.key[i % 4]);
    } else {
        f.append(payload);
    }
    return f;
}

inline std::string text(std::string_view payload, FrameOptions o = {}) {
    return frame(0x1, payload, o);
}

// "81 85 37 FA" (or "818537FA") -> bytes.
inline std::string hex(std::string_view digits) {
    std::string packed, out;
    for (char c : digits)
        if (std::isxdigit(static_cast<unsigned char>(c))) packed += c;
    for (std::size_t i = 0; i + 1 < packed.size(); i += 2)
        out += static_cast<char>(std::stoi(packed.substr(i, 2), nullptr, 16));
    return out;
}

inline std::string toHex(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) out += ' ';
        const auto b = static_cast<std::uint8_t>(bytes[i]);
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

// An upgrade request as a local program sends it (no Origin).
inline std::string upgradeRequest() {
    return "GET / HTTP/1.1\r\nHost: 127.0.0.1:28502\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
           "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
}

} // namespace wstest
