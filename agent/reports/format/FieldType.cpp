#include "agent/reports/format/FieldType.h"

#include "agent/reports/format/TextUtil.h"

#include <array>
#include <utility>

namespace verolux::reports::format {

namespace {
constexpr std::array<std::pair<std::string_view, FieldType>, 6> kNames{{
    {"text", FieldType::Text},
    {"integer", FieldType::Integer},
    {"decimal", FieldType::Decimal},
    {"currency", FieldType::Currency},
    {"boolean", FieldType::Boolean},
    {"datetime", FieldType::DateTime},
}};
} // namespace

std::optional<FieldType> ParseFieldType(std::string_view name) {
    for (const auto& [text, type] : kNames)
        if (detail::EqualsIgnoreCase(name, text)) return type;
    return std::nullopt;
}

std::string_view FieldTypeName(FieldType type) {
    for (const auto& [text, t] : kNames)
        if (t == type) return text;
    return "text";
}

} // namespace verolux::reports::format
