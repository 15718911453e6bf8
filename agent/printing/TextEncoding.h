#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace verolux {

// The character sets a raw job's text may be sent in: what receipt and label printers take.
enum class TextEncoding { Utf8, Gb18030, Latin1 };

// "UTF-8", "GB18030", "Latin-1" (also "ISO-8859-1"), in any case; nullopt for any other name.
std::optional<TextEncoding> TextEncodingNamed(std::string_view name);

// The text (UTF-8) in that encoding; nullopt when a character has no code there.
std::optional<std::string> EncodeText(std::string_view utf8, TextEncoding encoding);

// UTF-8 to GB18030 through the system's converter (iconv on Linux, code page 54936 on Windows).
std::optional<std::string> Utf8ToGb18030(std::string_view utf8);

} // namespace verolux
