#include "agent/reports/format/ChineseAmount.h"

#include "agent/reports/format/DecimalDigits.h"

#include <array>

namespace verolux::reports::format {

namespace {
constexpr std::array<std::string_view, 10> kDigits{"零", "壹", "贰", "叁", "肆",
                                                   "伍", "陆", "柒", "捌", "玖"};
constexpr std::array<std::string_view, 4> kPlaces{"", "拾", "佰", "仟"};
constexpr std::string_view kZero = "零";

std::string_view StripLeadingZeros(std::string_view s) {
    while (!s.empty() && s.front() == '0')
        s.remove_prefix(1);
    return s;
}

// Up to four digits, not all zero: 1010 → 壹仟零壹拾, 10 → 壹拾 (banks write the 壹 of 壹拾).
std::string Section(std::string_view digits) {
    std::string out;
    bool pendingZero = false;
    const size_t n = digits.size();
    for (size_t i = 0; i < n; ++i) {
        const int d = digits[i] - '0';
        if (d == 0) {
            pendingZero = !out.empty();
            continue;
        }
        if (pendingZero) out += kZero;
        pendingZero = false;
        out += kDigits[static_cast<size_t>(d)];
        out += kPlaces[n - 1 - i];
    }
    return out;
}

// The digits above the last `lowCount` written by `part` and followed by `unit`, then the low digits
// by `part` again; a gap of zeros before a lower non-zero part is written as one 零.
std::string Grouped(std::string_view digits, size_t lowCount, std::string_view unit,
                    std::string (*part)(std::string_view)) {
    const std::string_view high = digits.substr(0, digits.size() - lowCount);
    const std::string_view low = digits.substr(digits.size() - lowCount);
    std::string out = part(high);
    out += unit;
    const std::string_view lowDigits = StripLeadingZeros(low);
    if (!lowDigits.empty()) {
        if (low.front() == '0') out += kZero;
        out += part(lowDigits);
    }
    return out;
}

// A non-zero whole number without leading zeros. Groups of four digits take 万, groups of
// eight take 亿.
std::string Whole(std::string_view digits) {
    if (digits.size() > 8) return Grouped(digits, 8, "亿", Whole);
    if (digits.size() > 4) return Grouped(digits, 4, "万", Section);
    return Section(digits);
}

std::string FromFixed(const detail::FixedDigits& fixed) {
    const std::string_view whole = StripLeadingZeros(fixed.integerPart);
    const int jiao = fixed.fractionPart[0] - '0';
    const int fen = fixed.fractionPart[1] - '0';
    if (whole.empty() && jiao == 0 && fen == 0) return "零元整";
    std::string out = fixed.negative ? "负" : "";
    if (!whole.empty()) out += Whole(whole) + "元";
    if (jiao != 0) {
        out += kDigits[static_cast<size_t>(jiao)];
        out += "角";
    } else if (fen != 0 && !whole.empty()) {
        out += kZero; // 1.05 → 壹元零伍分
    }
    if (fen != 0) {
        out += kDigits[static_cast<size_t>(fen)];
        out += "分";
    } else if (jiao == 0) {
        out += "整"; // whole yuan only; after 角 the 整 is left out (壹拾元贰角)
    }
    return out;
}
} // namespace

std::string ChineseUppercaseAmount(const TypedValue& value) {
    detail::DecimalDigits digits;
    switch (value.kind) {
    case TypedValue::Kind::Integer:
        digits = detail::DecimalFromScaled(value.fixed, 0);
        break;
    case TypedValue::Kind::Currency:
        digits = detail::DecimalFromScaled(value.fixed, 4);
        break;
    case TypedValue::Kind::Decimal:
        digits = detail::DecimalFromDouble(value.real);
        break;
    case TypedValue::Kind::Boolean:
        digits = detail::DecimalFromScaled(value.boolean ? 1 : 0, 0);
        break;
    default:
        return {};
    }
    return FromFixed(detail::RoundToDecimals(digits, 2));
}

std::string ChineseUppercaseAmountOfDecimalText(std::string_view decimalText) {
    for (char c : decimalText)
        if (!((c >= '0' && c <= '9') || c == '-' || c == '.')) return {};
    const auto digits = detail::ParseDecimal(decimalText);
    if (!digits) return {};
    return FromFixed(detail::RoundToDecimals(*digits, 2));
}

} // namespace verolux::reports::format
