#include "agent/websocket/UTF8.h"

#include <simdjson.h>

#include <cstdint>
#include <cstring>

namespace mUTF8 {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kIllFormed = 0x110000; // never a code point

// Decodes one code point at p. Returns the bytes consumed (at least 1); `cp` is kIllFormed
// for an ill-formed sequence, which then spans its maximal well-formed prefix.
std::size_t decodeOne(const unsigned char* p, const unsigned char* end, char32_t& cp) {
    const unsigned char b0 = p[0];
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    int more;
    unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
    char32_t value;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        more = 1;
        value = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        more = 2;
        value = b0 & 0x0F;
        if (b0 == 0xE0)
            lo = 0xA0; // no overlongs
        else if (b0 == 0xED)
            hi = 0x9F; // no surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        more = 3;
        value = b0 & 0x07;
        if (b0 == 0xF0)
            lo = 0x90; // no overlongs
        else if (b0 == 0xF4)
            hi = 0x8F; // nothing above U+10FFFF
    } else {
        cp = kIllFormed;
        return 1;
    }
    std::size_t used = 1;
    for (int i = 0; i < more; ++i) {
        if (p + used >= end) {
            cp = kIllFormed;
            return used;
        }
        const unsigned char b = p[used];
        const unsigned char min = i == 0 ? lo : 0x80;
        const unsigned char max = i == 0 ? hi : 0xBF;
        if (b < min || b > max) {
            cp = kIllFormed;
            return used;
        }
        value = (value << 6) | (b & 0x3F);
        ++used;
    }
    cp = value;
    return used;
}

bool allAscii8(const unsigned char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return (w & 0x8080808080808080ULL) == 0;
}

bool allAscii16(const unsigned char* p) {
    std::uint64_t w[2];
    std::memcpy(w, p, 16);
    return ((w[0] | w[1]) & 0x8080808080808080ULL) == 0;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isCont(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// Offset of the first ill-formed sequence, or the size when there is none. Kept apart from
// decodeOne because whole messages pass through here.
std::size_t validPrefix(std::string_view bytes) {
    // Whole messages are almost always valid: the vectorised check settles them at memory speed,
    // the byte loop below only has to find where a bad one goes wrong.
    if (simdjson::validate_utf8(bytes.data(), bytes.size())) return bytes.size();
    const auto* begin = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = begin + bytes.size();
    const auto* p = begin;
    while (p < end) {
        while (end - p >= 16 && allAscii16(p))
            p += 16;
        if (end - p >= 8 && allAscii8(p)) {
            p += 8;
            continue;
        }
        if (p == end) break;
        const unsigned char b0 = *p;
        const std::ptrdiff_t left = end - p;
        if (b0 < 0x80) {
            ++p;
        } else if (b0 >= 0xC2 && b0 <= 0xDF) {
            if (left < 2 || !isCont(p[1])) break;
            p += 2;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            if (left < 3 || !isCont(p[1]) || !isCont(p[2])) break;
            if (b0 == 0xE0 && p[1] < 0xA0) break; // overlong
            if (b0 == 0xED && p[1] > 0x9F) break; // surrogate
            p += 3;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            if (left < 4 || !isCont(p[1]) || !isCont(p[2]) || !isCont(p[3])) break;
            if (b0 == 0xF0 && p[1] < 0x90) break; // overlong
            if (b0 == 0xF4 && p[1] > 0x8F) break; // above U+10FFFF
            p += 4;
        } else {
            break;
        }
    }
    return static_cast<std::size_t>(p - begin);
}

} // namespace

std::u16string Utf8ToString(std::string_view bytes) {
    std::u16string out;
    if (bytes.empty()) return out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        char32_t cp;
        p += decodeOne(p, end, cp);
        if (cp == kIllFormed) cp = kReplacement;
        if (cp < 0x10000) {
            out += static_cast<char16_t>(cp);
        } else {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 | (cp >> 10));
            out += static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
        }
    }
    return out;
}

std::string StringToUtf8(std::u16string_view text) {
    std::string out;
    if (text.empty()) return out;
    out.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        appendUtf8(out, cp);
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes) {
    return validPrefix(bytes) == bytes.size();
}

std::string SanitizeUtf8(std::string bytes) {
    const std::size_t good = validPrefix(bytes);
    if (good == bytes.size()) return bytes;

    std::string out;
    out.reserve(bytes.size() + 16);
    out.append(bytes, 0, good);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + good;
    const auto* end = reinterpret_cast<const unsigned char*>(bytes.data()) + bytes.size();
    while (p < end) {
        char32_t cp;
        const std::size_t used = decodeOne(p, end, cp);
        if (cp == kIllFormed)
            appendUtf8(out, kReplacement);
        else
            out.append(reinterpret_cast<const char*>(p), used);
        p += used;
    }
    return out;
}

std::size_t Utf8PrefixLength(std::string_view bytes, std::size_t maxBytes) {
    if (bytes.size() <= maxBytes) return bytes.size();
    std::size_t n = maxBytes;
    // A continuation byte (10xxxxxx) at the cut belongs to the character before it.
    while (n > 0 && (static_cast<unsigned char>(bytes[n]) & 0xC0) == 0x80)
        --n;
    return n;
}

} // namespace mUTF8
