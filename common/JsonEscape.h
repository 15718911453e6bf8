#pragma once

#include <string>
#include <string_view>

namespace verolux {

// Appends text as the inside of a JSON string: quote, backslash and control characters below 0x20
// escaped (\n \r \t \b \f by name, the rest as \u00XX); every other byte, UTF-8 included, unchanged,
// so ordinary ids and names come out byte for byte.
void AppendJsonEscaped(std::string& out, std::string_view text);

// The inside of a JSON string, as AppendJsonEscaped writes it.
std::string JsonEscape(std::string_view text);

// Appends text as a JSON string literal, quotes included.
void AppendJsonString(std::string& out, std::string_view text);

// Text as a JSON string literal, quotes included.
std::string JsonQuote(std::string_view text);

} // namespace verolux
