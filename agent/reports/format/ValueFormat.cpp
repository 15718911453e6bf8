#include "format/ValueFormat.h"

namespace verolux::reports::format {

std::string FormatValue(const TypedValue& value, FieldType, std::string_view)
{
    return value.toString();
}

bool IsChineseAmountFormat(std::string_view) { return false; }

} // namespace verolux::reports::format
