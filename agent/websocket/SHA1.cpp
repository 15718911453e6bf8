#include "agent/websocket/SHA1.h"

#include <array>
#include <stdexcept>

namespace mSHA1 {

namespace {

std::uint32_t rotl(std::uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

std::uint32_t readBigEndian(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
}

struct Constants {
    std::array<std::uint32_t, 5> init;
    std::array<std::uint32_t, 4> round;
};

Constants loadConstants() {
    return {{HexToWord("67452301"), HexToWord("EFCDAB89"), HexToWord("98BADCFE"), HexToWord("10325476"),
             HexToWord("C3D2E1F0")},
            {HexToWord("5A827999"), HexToWord("6ED9EBA1"), HexToWord("8F1BBCDC"), HexToWord("CA62C1D6")}};
}

void compressBlock(std::array<std::uint32_t, 5>& state, const unsigned char* block,
                   const std::array<std::uint32_t, 4>& k) {
    std::array<std::uint32_t, 80> w;
    for (int t = 0; t < 16; ++t)
        w[t] = readBigEndian(block + 4 * t);
    for (int t = 16; t < 80; ++t)
        w[t] = rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);

    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (int t = 0; t < 80; ++t) {
        std::uint32_t f;
        if (t < 20)
            f = (b & c) | (~b & d);
        else if (t < 40)
            f = b ^ c ^ d;
        else if (t < 60)
            f = (b & c) | (b & d) | (c & d);
        else
            f = b ^ c ^ d;
        const std::uint32_t temp = rotl(a, 5) + f + e + w[t] + k[t / 20];
        e = d;
        d = c;
        c = rotl(b, 30);
        b = a;
        a = temp;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
}

} // namespace

std::uint32_t HexToWord(std::string_view hex) {
    if (hex.size() != 8) throw std::invalid_argument("HexToWord: eight digits expected");
    std::uint32_t value = 0;
    for (char ch : hex) {
        std::uint32_t digit;
        if (ch >= '0' && ch <= '9')
            digit = std::uint32_t(ch - '0');
        else if (ch >= 'A' && ch <= 'F')
            digit = std::uint32_t(ch - 'A' + 10);
        else if (ch >= 'a' && ch <= 'f')
            digit = std::uint32_t(ch - 'a' + 10);
        else
            throw std::invalid_argument("HexToWord: not a hexadecimal digit");
        value = (value << 4) | digit;
    }
    return value;
}

std::string SHA1(std::string_view bytes) {
    const Constants c = loadConstants();
    std::array<std::uint32_t, 5> state = c.init;

    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t full = n / 64;
    for (std::size_t i = 0; i < full; ++i)
        compressBlock(state, data + 64 * i, c.round);

    // Tail: 0x80, zeros up to 56 mod 64, then the bit length. Lengths stay below 512 MiB,
    // so the length is taken modulo 2^32 and its high word is zero.
    std::array<unsigned char, 128> tail{};
    const std::size_t rest = n - 64 * full;
    for (std::size_t i = 0; i < rest; ++i)
        tail[i] = data[64 * full + i];
    tail[rest] = 0x80;
    const std::size_t tailLen = rest < 56 ? 64 : 128;
    const std::uint32_t bits = static_cast<std::uint32_t>(n) << 3;
    tail[tailLen - 4] = static_cast<unsigned char>(bits >> 24);
    tail[tailLen - 3] = static_cast<unsigned char>(bits >> 16);
    tail[tailLen - 2] = static_cast<unsigned char>(bits >> 8);
    tail[tailLen - 1] = static_cast<unsigned char>(bits);
    for (std::size_t off = 0; off < tailLen; off += 64)
        compressBlock(state, tail.data() + off, c.round);

    std::string digest(20, '\0');
    for (int i = 0; i < 5; ++i) {
        digest[4 * i] = static_cast<char>(state[i] >> 24);
        digest[4 * i + 1] = static_cast<char>(state[i] >> 16);
        digest[4 * i + 2] = static_cast<char>(state[i] >> 8);
        digest[4 * i + 3] = static_cast<char>(state[i]);
    }
    return digest;
}

} // namespace mSHA1
