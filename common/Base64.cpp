#include "common/Base64.h"

#include <cstdint>

namespace mBase64 {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPad = '=';

int sextet(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

} // namespace

void EncodeBase64(std::string_view bytes, char* out) {
    const auto* in = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    for (; i + 3 <= n; i += 3, out += 4) {
        const std::uint32_t v = (std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8) | in[i + 2];
        out[0] = kAlphabet[v >> 18];
        out[1] = kAlphabet[(v >> 12) & 63];
        out[2] = kAlphabet[(v >> 6) & 63];
        out[3] = kAlphabet[v & 63];
    }
    if (n - i == 1) {
        out[0] = kAlphabet[in[i] >> 2];
        out[1] = kAlphabet[(in[i] & 3) << 4];
        out[2] = kPad;
        out[3] = kPad;
    } else if (n - i == 2) {
        out[0] = kAlphabet[in[i] >> 2];
        out[1] = kAlphabet[((in[i] & 3) << 4) | (in[i + 1] >> 4)];
        out[2] = kAlphabet[(in[i + 1] & 15) << 2];
        out[3] = kPad;
    }
}

std::string EncodeBase64(std::string_view bytes) {
    std::string out(EncodedLength(bytes.size()), '\0');
    EncodeBase64(bytes, out.data());
    return out;
}

std::optional<std::string> DecodeBase64(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 4 * 3);
    std::uint32_t acc = 0;
    int bits = 0;
    bool padding = false;
    for (char c : text) {
        if (c == ' ' || c == '\n' || c == '\r' || c == '\t') continue;
        if (c == kPad) {
            padding = true;
            continue;
        }
        const int v = sextet(c);
        if (v < 0 || padding) return std::nullopt;
        acc = (acc << 6) | std::uint32_t(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += char((acc >> bits) & 0xFF);
        }
    }
    return out;
}

} // namespace mBase64
