#pragma once

#include <string>
#include <string_view>

namespace demo {

// `text` as a JSON string literal, quotes included. Bytes above 0x7f pass through unchanged, so
// UTF-8 stays readable; control characters become \uXXXX escapes.
std::string jsonQuote(std::string_view text);

} // namespace demo
