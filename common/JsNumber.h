#pragma once

#include <string>
#include <string_view>

namespace verolux {

// The text a browser script prints for a number (Number.prototype.toString): shortest round-trip
// digits, plain notation for exponents -7 < e < 21, otherwise "1.5e+21" / "1e-7"; -0 prints "0".
std::string JsNumberText(double value);

// The text of a JSON number token as a web page's script sees it. Integer tokens whose magnitude is
// beyond 2^53 keep their digits exactly as written (a browser would round them); every other token
// is read as a double and printed as JsNumberText does. The token must be a valid JSON number.
std::string JsonNumberTokenText(std::string_view token);

// True when token follows the JSON number grammar: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
bool IsJsonNumberToken(std::string_view token);

} // namespace verolux
