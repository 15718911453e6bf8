#pragma once

#include <optional>
#include <string_view>

namespace verolux::reports::format {

// The type a template declares for a parameter or detail field.
enum class FieldType { Text, Integer, Decimal, Currency, Boolean, DateTime };

// "text", "integer", "decimal", "currency", "boolean", "datetime" (ASCII case-insensitive).
std::optional<FieldType> ParseFieldType(std::string_view name);
// The lower-case name ParseFieldType accepts.
std::string_view FieldTypeName(FieldType type);

} // namespace verolux::reports::format
