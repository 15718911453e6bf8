#include "tests/reports/format/ValueDump.h"

#include <cstdio>

using verolux::reports::format::TypedValue;

std::string Dump(const TypedValue& v) {
    switch (v.kind) {
    case TypedValue::Kind::Empty:
        return "Empty";
    case TypedValue::Kind::Text:
        return "Text " + v.text;
    case TypedValue::Kind::Integer:
        return "Integer " + std::to_string(v.fixed);
    case TypedValue::Kind::Currency: {
        // Written out digit by digit here, not through the library's own text conversion.
        const bool negative = v.fixed < 0;
        const unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(v.fixed)
                                                      : static_cast<unsigned long long>(v.fixed);
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%s%llu.%04llu", negative ? "-" : "", magnitude / 10000,
                      magnitude % 10000);
        return std::string("Currency ") + buffer;
    }
    case TypedValue::Kind::Decimal: {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.17g", v.real);
        return std::string("Decimal ") + buffer;
    }
    case TypedValue::Kind::Boolean:
        return v.boolean ? "Boolean true" : "Boolean false";
    case TypedValue::Kind::DateTime: {
        const auto& d = v.dateTime;
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "DateTime %04d-%02d-%02d %02d:%02d:%02d.%03d", d.year, d.month,
                      d.day, d.hour, d.minute, d.second, d.millisecond);
        return buffer;
    }
    }
    return "?";
}
