#include "agent/reports/format/ValueFormat.h"

#include "agent/reports/format/ChineseAmount.h"
#include "agent/reports/format/DateFormat.h"
#include "agent/reports/format/DecimalDigits.h"
#include "agent/reports/format/NumberFormat.h"
#include "agent/reports/format/TextUtil.h"

#include <array>

namespace verolux::reports::format {

namespace {
// Doubles keep 15 significant digits: arithmetic noise (0.1 + 0.2) never reaches the paper.
constexpr int kDecimalSignificantDigits = 15;

std::optional<detail::DecimalDigits> NumberDigits(const TypedValue& value) {
    switch (value.kind) {
    case TypedValue::Kind::Integer:
        return detail::DecimalFromScaled(value.fixed, 0);
    case TypedValue::Kind::Currency:
        return detail::DecimalFromScaled(value.fixed, 4);
    case TypedValue::Kind::Decimal:
        return detail::RoundSignificant(detail::DecimalFromDouble(value.real), kDecimalSignificantDigits);
    case TypedValue::Kind::Boolean:
        return detail::DecimalFromScaled(value.boolean ? 1 : 0, 0);
    default:
        return std::nullopt;
    }
}

// Integers and currency amounts take the fast fixed-point path.
std::string FormatNumberValue(const TypedValue& value, std::string_view format) {
    switch (value.kind) {
    case TypedValue::Kind::Integer:
        return detail::FormatScaledNumber(value.fixed, 0, format);
    case TypedValue::Kind::Currency:
        return detail::FormatScaledNumber(value.fixed, 4, format);
    case TypedValue::Kind::Boolean:
        return detail::FormatScaledNumber(value.boolean ? 1 : 0, 0, format);
    default:
        if (const auto digits = NumberDigits(value)) return detail::FormatNumber(*digits, format);
        return {};
    }
}

std::string DefaultNumber(const TypedValue& value, FieldType type) {
    if (value.kind == TypedValue::Kind::Currency || type == FieldType::Currency)
        return FormatNumberValue(value, "0.00");
    if (value.kind == TypedValue::Kind::Integer) return std::to_string(value.fixed);
    const auto digits = NumberDigits(value);
    return digits ? detail::ToPlainText(*digits) : std::string();
}

std::string DefaultDateTime(const DateTime& dt) {
    return detail::FormatDateTime(dt, dt.hasTime() ? "yyyy-MM-dd HH:mm:ss" : "yyyy-MM-dd");
}

std::string FormatNumberDigits(const detail::DecimalDigits& digits, std::string_view format) {
    if (IsChineseAmountFormat(format))
        return ChineseUppercaseAmountOfDecimalText(detail::ToPlainText(digits));
    return detail::FormatNumber(digits, format);
}

std::string FormatBoolean(bool value, std::string_view format) {
    if (IsChineseAmountFormat(format)) return ChineseUppercaseAmount(TypedValue::ofBoolean(value));
    const size_t semicolon = format.find(';');
    if (semicolon == std::string_view::npos) {
        if (detail::IsNumberFormat(format)) return detail::FormatScaledNumber(value ? 1 : 0, 0, format);
        return value ? std::string(format) : std::string();
    }
    return std::string(value ? format.substr(0, semicolon) : format.substr(semicolon + 1));
}

std::string FormatText(const std::string& text, std::string_view format) {
    if (IsChineseAmountFormat(format) || detail::IsNumberFormat(format)) {
        // Exact digits of the text: it never goes through a double.
        if (const auto digits = detail::ParseNumberDigits(text)) return FormatNumberDigits(*digits, format);
        return text;
    }
    if (detail::IsDateFormat(format)) {
        if (const auto dt = ParseDateTimeText(text)) return detail::FormatDateTime(*dt, format);
    }
    return text;
}
} // namespace

bool IsChineseAmountFormat(std::string_view displayFormat) {
    static constexpr std::array<std::string_view, 4> kNames{"大写金额", "大写", "CNY", "RMB"};
    const std::string_view trimmed = detail::Trim(displayFormat);
    for (std::string_view name : kNames)
        if (detail::EqualsIgnoreCase(trimmed, name)) return true;
    return false;
}

std::string FormatValue(const TypedValue& value, FieldType type, std::string_view displayFormat) {
    switch (value.kind) {
    case TypedValue::Kind::Empty:
        return {};
    case TypedValue::Kind::Text:
        return displayFormat.empty() ? value.text : FormatText(value.text, displayFormat);
    case TypedValue::Kind::Integer:
    case TypedValue::Kind::Currency:
    case TypedValue::Kind::Decimal:
        if (IsChineseAmountFormat(displayFormat)) return ChineseUppercaseAmount(value);
        if (detail::IsNumberFormat(displayFormat)) return FormatNumberValue(value, displayFormat);
        return DefaultNumber(value, type);
    case TypedValue::Kind::Boolean:
        if (displayFormat.empty()) return value.boolean ? "true" : "false";
        return FormatBoolean(value.boolean, displayFormat);
    case TypedValue::Kind::DateTime:
        if (!value.dateTime.isValid()) return {};
        if (detail::IsDateFormat(displayFormat)) return detail::FormatDateTime(value.dateTime, displayFormat);
        return DefaultDateTime(value.dateTime);
    }
    return {};
}

} // namespace verolux::reports::format
