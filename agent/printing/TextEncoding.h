#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace verolux {

// The character sets a raw job's text may be sent in: what receipt and label printers take.
enum class TextEncoding { Utf8, Gb18030, Latin1 };

// "UTF-8", "GB18030", "Latin-1" (also "ISO-8859-1"), in any case; nullopt for any other name.
std::optional<TextEncoding> TextEncodingNamed(std::string_view name);

// Why a text has no bytes in an encoding.
enum class EncodeFailure {
    NoCode,      // a character has no code there (or the UTF-8 is invalid)
    Unsupported, // this system has no converter for the encoding
};

struct EncodedText {
    std::string bytes;                    // the text in the encoding, when `failure` is empty
    std::optional<EncodeFailure> failure; // set: no bytes
};

// The text (UTF-8) in that encoding.
EncodedText EncodeText(std::string_view utf8, TextEncoding encoding);

// UTF-8 to GB18030 through the system's converter (iconv on Linux, code page 54936 on Windows).
EncodedText Utf8ToGb18030(std::string_view utf8);

// Whether this system converts to GB18030 (Windows has code page 54936; Wine 8 does not).
bool Gb18030Supported();

} // namespace verolux
