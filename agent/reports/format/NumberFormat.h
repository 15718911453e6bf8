#pragma once

#include "agent/reports/format/DecimalDigits.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace verolux::reports::format::detail {

// True when the format holds a digit placeholder (0 or #) outside quotes: a number format.
bool IsNumberFormat(std::string_view format);
// Spreadsheet-style number format: "[prefix]pattern[suffix]" in up to three ';'-separated
// sections (positive; negative; zero). See docs/display-formats.md.
std::string FormatNumber(const DecimalDigits& value, std::string_view format);
// The same for value / 10^scaleDigits (integers: 0, currency: 4), without digit strings.
std::string FormatScaledNumber(std::int64_t value, int scaleDigits, std::string_view format);

} // namespace verolux::reports::format::detail
