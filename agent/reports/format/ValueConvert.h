#pragma once

#include "agent/reports/format/FieldType.h"
#include "agent/reports/format/TypedValue.h"
#include "common/ScalarValue.h"

#include <optional>
#include <string_view>

namespace verolux::reports::format {

// Converts a value as the page sent it to a field's type. Never throws; what cannot be
// converted becomes empty. The rules are tabled in docs/display-formats.md.
TypedValue ConvertValue(const verolux::ScalarValue& value, FieldType type);

// The pieces of ConvertValue, for callers that hold plain text.
// "1,234.56", "-5", "+1e3", "¥12.50" (a leading ¥ ￥ $ € after the sign is allowed).
std::optional<TypedValue> ParseNumberText(std::string_view text, FieldType numberType);
// "1"/"true"/"yes"/"y"/"on"/"是" → true, "0"/"false"/"no"/"n"/"off"/"否"/"" → false
// (ASCII case-insensitive, blanks trimmed); other numbers: non-zero → true.
std::optional<bool> ParseBooleanText(std::string_view text);
// "2024-03-05", "2024-3-5 8:05", "2024/3/5 08:05:09", "2024-03-05T08:05:09.123Z",
// "2024年3月5日 8:05". A zone suffix (Z, +08:00) is accepted and ignored.
std::optional<DateTime> ParseDateTimeText(std::string_view text);

} // namespace verolux::reports::format
