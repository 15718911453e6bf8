#include "format/TypedValue.h"

#include <cmath>

namespace verolux::reports::format {

TypedValue TypedValue::ofText(std::string s) { TypedValue v; v.kind = Kind::Text; v.text = std::move(s); return v; }
TypedValue TypedValue::ofInteger(std::int64_t x) { TypedValue v; v.kind = Kind::Integer; v.fixed = x; return v; }
TypedValue TypedValue::ofCurrencyUnits(std::int64_t x) { TypedValue v; v.kind = Kind::Currency; v.fixed = x; return v; }
TypedValue TypedValue::ofDecimal(double x)
{
    if (!std::isfinite(x))
        return {};
    TypedValue v; v.kind = Kind::Decimal; v.real = x == 0 ? 0.0 : x; return v;
}
TypedValue TypedValue::ofBoolean(bool b) { TypedValue v; v.kind = Kind::Boolean; v.boolean = b; return v; }
TypedValue TypedValue::ofDateTime(const DateTime& d) { TypedValue v; v.kind = Kind::DateTime; v.dateTime = d; return v; }

double TypedValue::toDouble() const
{
    switch (kind) {
    case Kind::Integer: return static_cast<double>(fixed);
    case Kind::Currency: return static_cast<double>(fixed) / kCurrencyScale;
    case Kind::Decimal: return real;
    case Kind::Boolean: return boolean ? 1 : 0;
    default: return 0;
    }
}

std::string TypedValue::toString() const { return text; }

int CompareValues(const TypedValue&, const TypedValue&) { return 0; }

} // namespace verolux::reports::format
