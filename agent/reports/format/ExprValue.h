#pragma once

#include "agent/reports/format/Decimal.h"
#include "agent/reports/format/ExprSyntax.h"
#include "agent/reports/format/TypedValue.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Values of template expressions and what the operators and functions do with them. Numbers are exact
// decimals; a number that stems from a currency amount stays currency (printed with two decimals by
// default), as a sum containing currency does.
namespace verolux::reports::format::expr {

struct Value {
    enum class Kind : uint8_t { Empty, Number, Text, Boolean, DateTime };
    Kind kind = Kind::Empty;
    bool currency = false; // Number: stems from a currency amount
    Decimal number;
    std::string text;
    bool boolean = false;
    DateTime dateTime;

    static Value ofNumber(Decimal d, bool currency = false);
    static Value ofText(std::string s);
    static Value ofBoolean(bool b);
    bool isEmpty() const { return kind == Kind::Empty; }
};

// A value cannot be computed (text times a number, division by zero): why, for the log.
struct EvalError {
    std::string message;
};

Value FromTyped(const TypedValue& v);
// For aggregates and display formats: exact currency or integer where it fits, else a decimal.
TypedValue ToTyped(const Value& v);

// Empty operands give an empty result (a missing price makes an empty amount), except for `&`, which
// joins them as "", and comparisons. Throws EvalError.
Value ApplyUnary(Op op, const Value& a);
Value ApplyBinary(Op op, const Value& a, const Value& b);
// Conditions: booleans; numbers are true when not zero; empty is false; text is an error.
bool Truth(const Value& v);
// round, abs, len, text, isempty (ASCII case-insensitive names); `if` is taken by the caller, which
// evaluates only the branch it needs. nullopt: no such function.
std::optional<Value> CallFunction(std::string_view name, const std::vector<Value>& args);
// The functions CallFunction knows and `if`, with their argument counts.
bool IsKnownFunction(std::string_view name, size_t argCount, std::string& why);

// sum, count, avg, min, max over the values of an expression, exactly: empty values are skipped, text
// that reads as a number adds as one, other text only takes part in min and max.
class Total {
  public:
    void add(const Value& v);
    void reset() { *this = Total{}; }
    // AggregateFunction order: Sum, Count, Avg, Min, Max.
    Value result(int function) const;

  private:
    std::int64_t m_count = 0, m_numeric = 0;
    Decimal m_sum;
    bool m_overflow = false, m_currency = false;
    Value m_min, m_max;
};

// The text printed for a value with a display format (the reference's, else the style's).
std::string FormatExprValue(const Value& v, std::string_view displayFormat);
// Plain text for `&`: numbers "1234.5", booleans "true"/"false", dates "yyyy-MM-dd HH:mm:ss".
std::string PlainText(const Value& v);

} // namespace verolux::reports::format::expr
