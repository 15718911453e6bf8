#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Standard Base64 (RFC 4648: "+" and "/", "=" padding, no line breaks), for the handshake's accept
// value, the images inside templates and the uploaded files.
namespace mBase64 {

// Characters for n bytes: four per started group of three.
constexpr std::size_t EncodedLength(std::size_t n) {
    return (n + 2) / 3 * 4;
}

// Writes EncodedLength(bytes.size()) characters to out, without a terminating NUL.
void EncodeBase64(std::string_view bytes, char* out);
std::string EncodeBase64(std::string_view bytes);

// Blanks, tabs and line breaks are skipped; any other character outside the alphabet, or a
// character after the padding, makes the text invalid (empty result).
std::optional<std::string> DecodeBase64(std::string_view text);

} // namespace mBase64
