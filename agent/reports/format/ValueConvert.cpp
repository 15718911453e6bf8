#include "agent/reports/format/ValueConvert.h"

#include "agent/reports/format/DecimalDigits.h"
#include "agent/reports/format/TextUtil.h"

#include <array>

namespace verolux::reports::format {

namespace {
using detail::Trim;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads between minDigits and maxDigits digits at pos.
std::optional<int> ReadNumber(std::string_view s, size_t& pos, int minDigits, int maxDigits) {
    int value = 0;
    int count = 0;
    while (pos < s.size() && IsDigit(s[pos]) && count < maxDigits) {
        value = value * 10 + (s[pos++] - '0');
        ++count;
    }
    if (count < minDigits || (pos < s.size() && IsDigit(s[pos]))) return std::nullopt;
    return value;
}

bool Eat(std::string_view s, size_t& pos, std::string_view token) {
    if (s.substr(pos).starts_with(token)) {
        pos += token.size();
        return true;
    }
    return false;
}

std::optional<DateTime> ParseCompactDigits(std::string_view s) {
    // "20240305" and "20240305081500": common in exports of Chinese business systems.
    if (s.size() != 8 && s.size() != 14) return std::nullopt;
    for (char c : s)
        if (!IsDigit(c)) return std::nullopt;
    auto num = [&](size_t at, size_t len) {
        int v = 0;
        for (size_t i = at; i < at + len; ++i)
            v = v * 10 + (s[i] - '0');
        return v;
    };
    DateTime dt;
    dt.year = num(0, 4);
    dt.month = num(4, 2);
    dt.day = num(6, 2);
    if (s.size() == 14) {
        dt.hour = num(8, 2);
        dt.minute = num(10, 2);
        dt.second = num(12, 2);
    }
    if (!dt.isValid()) return std::nullopt;
    return dt;
}

std::optional<std::int64_t> ParseUnixMs(std::string_view text) {
    const auto digits = detail::ParseDecimal(Trim(text));
    if (!digits) return std::nullopt;
    return detail::ToScaledInt64(*digits, 0);
}

TypedValue DateTimeFromNumberText(std::string_view text) {
    const auto ms = ParseUnixMs(text);
    if (!ms) return {};
    const auto dt = DateTimeFromUnixMsLocal(*ms);
    return dt ? TypedValue::ofDateTime(*dt) : TypedValue{};
}
} // namespace

std::optional<TypedValue> ParseNumberText(std::string_view text, FieldType numberType) {
    if (numberType == FieldType::Integer || numberType == FieldType::Currency) {
        const bool currency = numberType == FieldType::Currency;
        if (const auto fast = detail::ParsePlainScaled(text, currency ? 4 : 0))
            return currency ? TypedValue::ofCurrencyUnits(*fast) : TypedValue::ofInteger(*fast);
    }
    const auto digits = detail::ParseNumberDigits(text);
    if (!digits) return std::nullopt;
    switch (numberType) {
    case FieldType::Integer:
        if (const auto v = detail::ToScaledInt64(*digits, 0)) return TypedValue::ofInteger(*v);
        return std::nullopt;
    case FieldType::Currency:
        if (const auto v = detail::ToScaledInt64(*digits, 4)) return TypedValue::ofCurrencyUnits(*v);
        return std::nullopt;
    default:
        if (const auto v = detail::ToDouble(*digits)) return TypedValue::ofDecimal(*v);
        return std::nullopt;
    }
}

std::optional<bool> ParseBooleanText(std::string_view text) {
    const std::string_view s = Trim(text);
    static constexpr std::array<std::string_view, 7> kTrue{"1", "true", "t",           "yes",
                                                           "y", "on",   "\xE6\x98\xAF"};
    static constexpr std::array<std::string_view, 8> kFalse{"0",   "false",        "f", "no", "n",
                                                            "off", "\xE5\x90\xA6", ""};
    for (std::string_view word : kTrue)
        if (detail::EqualsIgnoreCase(s, word)) return true;
    for (std::string_view word : kFalse)
        if (detail::EqualsIgnoreCase(s, word)) return false;
    if (const auto number = detail::ParseDecimal(s)) return !number->isZero();
    return std::nullopt;
}

std::optional<DateTime> ParseDateTimeText(std::string_view text) {
    const std::string_view s = Trim(text);
    if (auto compact = ParseCompactDigits(s)) return compact;

    DateTime dt;
    size_t pos = 0;
    const auto year = ReadNumber(s, pos, 4, 4);
    if (!year) return std::nullopt;
    dt.year = *year;
    bool chinese = false;
    char separator = 0;
    if (Eat(s, pos, "\xE5\xB9\xB4")) { // 年
        chinese = true;
    } else if (pos < s.size() && (s[pos] == '-' || s[pos] == '/' || s[pos] == '.')) {
        separator = s[pos++];
    } else {
        return std::nullopt;
    }
    const auto month = ReadNumber(s, pos, 1, 2);
    if (!month) return std::nullopt;
    dt.month = *month;
    if (chinese ? !Eat(s, pos, "\xE6\x9C\x88") /* 月 */ : !(pos < s.size() && s[pos++] == separator))
        return std::nullopt;
    const auto day = ReadNumber(s, pos, 1, 2);
    if (!day) return std::nullopt;
    dt.day = *day;
    if (chinese && !Eat(s, pos, "\xE6\x97\xA5") && !Eat(s, pos, "\xE5\x8F\xB7")) // 日 or 号
        return std::nullopt;

    // Optional time after blanks or 'T'.
    size_t timeStart = pos;
    while (timeStart < s.size() && s[timeStart] == ' ')
        ++timeStart;
    if (timeStart < s.size() && (s[timeStart] == 'T' || s[timeStart] == 't') && timeStart == pos) ++timeStart;
    if (timeStart < s.size() && IsDigit(s[timeStart]) && timeStart > pos) {
        pos = timeStart;
        const auto hour = ReadNumber(s, pos, 1, 2);
        if (!hour || !Eat(s, pos, ":")) return std::nullopt;
        const auto minute = ReadNumber(s, pos, 2, 2);
        if (!minute) return std::nullopt;
        dt.hour = *hour;
        dt.minute = *minute;
        if (Eat(s, pos, ":")) {
            const auto second = ReadNumber(s, pos, 2, 2);
            if (!second) return std::nullopt;
            dt.second = *second;
            if (pos < s.size() && (s[pos] == '.' || s[pos] == ',')) {
                ++pos;
                int scale = 100;
                size_t count = 0;
                while (pos < s.size() && IsDigit(s[pos])) {
                    dt.millisecond += (s[pos++] - '0') * scale;
                    scale /= 10;
                    ++count;
                }
                if (count == 0) return std::nullopt;
            }
        }
        // A zone designator is accepted and ignored: the wall-clock time is printed as sent.
        while (pos < s.size() && s[pos] == ' ')
            ++pos;
        if (pos < s.size() && (s[pos] == 'Z' || s[pos] == 'z')) {
            ++pos;
        } else if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
            // +08, +0800 or +08:00
            ++pos;
            size_t digits = 0;
            while (pos < s.size() && (IsDigit(s[pos]) || (s[pos] == ':' && digits == 2))) {
                if (s[pos] != ':') ++digits;
                ++pos;
            }
            if (digits != 2 && digits != 4) return std::nullopt;
        }
    }
    if (pos != s.size() || !dt.isValid()) return std::nullopt;
    return dt;
}

TypedValue ConvertValue(const verolux::ScalarValue& value, FieldType type) {
    using Kind = verolux::ScalarValue::Kind;
    if (value.kind == Kind::Empty) return {};
    if (type == FieldType::Boolean) {
        if (value.kind == Kind::Boolean) return TypedValue::ofBoolean(value.boolValue());
        const auto b = ParseBooleanText(value.text);
        return b ? TypedValue::ofBoolean(*b) : TypedValue{};
    }
    if (value.text.empty()) return {};
    switch (type) {
    case FieldType::Text:
        return TypedValue::ofText(value.text);
    case FieldType::Integer:
    case FieldType::Decimal:
    case FieldType::Currency:
        if (value.kind == Kind::Boolean) {
            const bool b = value.boolValue();
            if (type == FieldType::Integer) return TypedValue::ofInteger(b ? 1 : 0);
            if (type == FieldType::Currency) return TypedValue::ofCurrencyUnits(b ? kCurrencyScale : 0);
            return TypedValue::ofDecimal(b ? 1 : 0);
        }
        return ParseNumberText(value.text, type).value_or(TypedValue{});
    case FieldType::DateTime:
        if (value.kind == Kind::Boolean) return {};
        if (value.kind == Kind::Number) return DateTimeFromNumberText(value.text);
        if (const auto dt = ParseDateTimeText(value.text)) return TypedValue::ofDateTime(*dt);
        return DateTimeFromNumberText(value.text);
    case FieldType::Boolean:
        break;
    }
    return {};
}

} // namespace verolux::reports::format
