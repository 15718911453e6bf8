#include "agent/reports/format/TypedValue.h"
#include "agent/reports/format/Int128.h"

#include "agent/reports/format/DecimalDigits.h"

#include <cmath>
#include <cstdio>

namespace verolux::reports::format {

TypedValue TypedValue::ofText(std::string s) {
    TypedValue v;
    v.kind = Kind::Text;
    v.text = std::move(s);
    return v;
}

TypedValue TypedValue::ofInteger(std::int64_t x) {
    TypedValue v;
    v.kind = Kind::Integer;
    v.fixed = x;
    return v;
}

TypedValue TypedValue::ofCurrencyUnits(std::int64_t x) {
    TypedValue v;
    v.kind = Kind::Currency;
    v.fixed = x;
    return v;
}

TypedValue TypedValue::ofDecimal(double x) {
    if (!std::isfinite(x)) return {};
    TypedValue v;
    v.kind = Kind::Decimal;
    v.real = x == 0 ? 0.0 : x; // no negative zero
    return v;
}

TypedValue TypedValue::ofBoolean(bool b) {
    TypedValue v;
    v.kind = Kind::Boolean;
    v.boolean = b;
    return v;
}

TypedValue TypedValue::ofDateTime(const DateTime& d) {
    TypedValue v;
    v.kind = Kind::DateTime;
    v.dateTime = d;
    return v;
}

double TypedValue::toDouble() const {
    switch (kind) {
    case Kind::Integer:
        return static_cast<double>(fixed);
    case Kind::Currency:
        return static_cast<double>(fixed) / kCurrencyScale;
    case Kind::Decimal:
        return real;
    case Kind::Boolean:
        return boolean ? 1 : 0;
    default:
        return 0;
    }
}

std::string TypedValue::toString() const {
    switch (kind) {
    case Kind::Empty:
        return {};
    case Kind::Text:
        return text;
    case Kind::Integer:
        return std::to_string(fixed);
    case Kind::Currency:
        return detail::ToPlainText(detail::DecimalFromScaled(fixed, 4));
    case Kind::Decimal:
        return detail::ToPlainText(detail::DecimalFromDouble(real));
    case Kind::Boolean:
        return boolean ? "true" : "false";
    case Kind::DateTime: {
        char buffer[48];
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", dateTime.year, dateTime.month,
                      dateTime.day, dateTime.hour, dateTime.minute, dateTime.second);
        return buffer;
    }
    }
    return {};
}

namespace {
int Rank(TypedValue::Kind kind) {
    switch (kind) {
    case TypedValue::Kind::Empty:
        return 0;
    case TypedValue::Kind::Integer:
    case TypedValue::Kind::Currency:
    case TypedValue::Kind::Decimal:
    case TypedValue::Kind::Boolean:
        return 1;
    case TypedValue::Kind::DateTime:
        return 2;
    case TypedValue::Kind::Text:
        return 3;
    }
    return 0;
}

// Integer, currency and boolean in exact ten-thousandths.
Int128 ScaledUnits(const TypedValue& v) {
    switch (v.kind) {
    case TypedValue::Kind::Integer:
        return static_cast<Int128>(v.fixed) * kCurrencyScale;
    case TypedValue::Kind::Currency:
        return v.fixed;
    case TypedValue::Kind::Boolean:
        return v.boolean ? kCurrencyScale : 0;
    default:
        return 0;
    }
}

template <typename T> int Sign(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}
} // namespace

int CompareValues(const TypedValue& a, const TypedValue& b) {
    const int rankA = Rank(a.kind);
    const int rankB = Rank(b.kind);
    if (rankA != rankB) return rankA < rankB ? -1 : 1;
    switch (rankA) {
    case 1:
        if (a.kind == TypedValue::Kind::Decimal || b.kind == TypedValue::Kind::Decimal)
            return Sign(a.toDouble(), b.toDouble());
        return Sign(ScaledUnits(a), ScaledUnits(b));
    case 2:
        return Sign(a.dateTime, b.dateTime);
    case 3:
        return Sign(a.text, b.text);
    default:
        return 0;
    }
}

} // namespace verolux::reports::format
