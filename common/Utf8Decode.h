#pragma once

#include <cstddef>
#include <string_view>

namespace verolux {

// Reads the UTF-8 sequence at text[i]: returns its length (1 to 4) and sets cp. Lenient, for text
// that is drawn or measured: the lead byte decides the length and continuation bytes are taken as
// they come; a stray byte, or a sequence cut off by the end of the text, is one character with the
// byte's own value.
inline std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t& cp) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    if (i + n > text.size()) n = 1;
    cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
    for (std::size_t k = 1; k < n; ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    return n;
}

} // namespace verolux
