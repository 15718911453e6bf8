#pragma once

#include "agent/reports/format/DateTime.h"

#include <cstdint>
#include <string>

namespace verolux::reports::format {

// Currency amounts are held as whole ten-thousandths: exact to 1/100 分 and exact under
// addition, so a sum over any number of rows never drifts by a cent.
inline constexpr std::int64_t kCurrencyScale = 10000;

// A value converted to a field's type. Integers and currency amounts are exact 64-bit
// numbers; decimals are doubles (formatted through their shortest round-trip digits, so
// 2.675 rounds to 2.68 as written).
struct TypedValue {
    enum class Kind { Empty, Text, Integer, Currency, Decimal, Boolean, DateTime };

    Kind kind = Kind::Empty;
    std::string text;       // Text
    std::int64_t fixed = 0; // Integer: the value. Currency: the amount × kCurrencyScale.
    double real = 0;        // Decimal (always finite)
    bool boolean = false;   // Boolean
    DateTime dateTime;      // DateTime

    static TypedValue empty() { return {}; }
    static TypedValue ofText(std::string s);
    static TypedValue ofInteger(std::int64_t v);
    // Amount in ten-thousandths: ofCurrencyUnits(12345) is 1.2345.
    static TypedValue ofCurrencyUnits(std::int64_t tenThousandths);
    // Non-finite doubles give an empty value.
    static TypedValue ofDecimal(double v);
    static TypedValue ofBoolean(bool v);
    static TypedValue ofDateTime(const DateTime& v);

    bool isEmpty() const { return kind == Kind::Empty; }
    bool isNumber() const { return kind == Kind::Integer || kind == Kind::Currency || kind == Kind::Decimal; }
    // Numbers as double; Boolean 1/0; anything else 0.
    double toDouble() const;
    // Plain text of the value, no display format: numbers in shortest exact decimal form
    // ("1234.5"), booleans "true"/"false", date-times "yyyy-MM-dd HH:mm:ss". Empty: "".
    std::string toString() const;

    friend bool operator==(const TypedValue&, const TypedValue&) = default;
};

// Total order for min/max and sorting: Empty first; numbers (of any kind, and booleans as
// 1/0) by value; date-times chronologically; texts by UTF-8 bytes; across unrelated kinds by
// kind. Returns <0, 0 or >0.
int CompareValues(const TypedValue& a, const TypedValue& b);

} // namespace verolux::reports::format
