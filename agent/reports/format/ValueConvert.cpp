#include "format/ValueConvert.h"

namespace verolux::reports::format {

TypedValue ConvertValue(const verolux::ScalarValue&, FieldType) { return {}; }
std::optional<TypedValue> ParseNumberText(std::string_view, FieldType) { return std::nullopt; }
std::optional<bool> ParseBooleanText(std::string_view) { return std::nullopt; }
std::optional<DateTime> ParseDateTimeText(std::string_view) { return std::nullopt; }

} // namespace verolux::reports::format
