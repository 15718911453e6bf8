#pragma once

#include <string>
#include <string_view>

namespace mUTF8 {

// UTF-8 bytes to UTF-16 text. Every ill-formed sequence (maximal subpart: stray continuation
// bytes, overlong forms, surrogates, values above U+10FFFF, truncated sequences) becomes one
// U+FFFD, as the platform's converter does.
std::u16string Utf8ToString(std::string_view bytes);

// UTF-16 text to UTF-8 bytes. A lone surrogate becomes U+FFFD.
std::string StringToUtf8(std::u16string_view text);

// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

// What a message decodes to, kept as UTF-8: StringToUtf8(Utf8ToString(bytes)).
// Well-formed input comes back unchanged (and is moved, not copied).
std::string SanitizeUtf8(std::string bytes);

// The length of the longest start of well-formed UTF-8 bytes that holds at most maxBytes and ends
// between two characters.
std::size_t Utf8PrefixLength(std::string_view bytes, std::size_t maxBytes);

} // namespace mUTF8
