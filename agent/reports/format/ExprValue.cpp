#include "agent/reports/format/ExprValue.h"

#include "agent/reports/format/ChineseAmount.h"
#include "agent/reports/format/NumberFormat.h"
#include "agent/reports/format/ValueFormat.h"

namespace verolux::reports::format::expr {

namespace {

[[noreturn]] void fail(std::string why) {
    throw EvalError{std::move(why)};
}

std::string quoted(const std::string& text) {
    constexpr size_t kShown = 40;
    if (text.size() <= kShown) return "\"" + text + "\"";
    size_t cut = kShown;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return "\"" + text.substr(0, cut) + "...\"";
}

// A number, or text that reads as one ("1,234.50"); anything else cannot take part in arithmetic.
Decimal AsNumber(const Value& v, const char* what) {
    if (v.kind == Value::Kind::Number) return v.number;
    if (v.kind == Value::Kind::Text)
        if (auto d = Decimal::parse(v.text)) return *d;
    const std::string shown = v.kind == Value::Kind::Text      ? "the text " + quoted(v.text)
                              : v.kind == Value::Kind::Boolean ? std::string("a true/false value")
                                                               : std::string("a date");
    fail(std::string("cannot ") + what + " " + shown + ": not a number");
}

Decimal Checked(std::optional<Decimal> d, const char* what) {
    if (!d) fail(std::string(what) + " leaves the range of numbers");
    return *d;
}

bool NumberLike(const Value& v) {
    return v.kind == Value::Kind::Number || (v.kind == Value::Kind::Text && Decimal::parse(v.text));
}

// <0, 0, >0; both sides non-empty.
int CompareNonEmpty(const Value& a, const Value& b) {
    if ((a.kind == Value::Kind::Number || b.kind == Value::Kind::Number) && NumberLike(a) && NumberLike(b))
        return Compare(AsNumber(a, "compare"), AsNumber(b, "compare"));
    if (a.kind == Value::Kind::Text && b.kind == Value::Kind::Text) return a.text.compare(b.text);
    if (a.kind == Value::Kind::Boolean && b.kind == Value::Kind::Boolean)
        return int(a.boolean) - int(b.boolean);
    if (a.kind == Value::Kind::DateTime && b.kind == Value::Kind::DateTime)
        return CompareValues(TypedValue::ofDateTime(a.dateTime), TypedValue::ofDateTime(b.dateTime));
    fail("cannot compare " + PlainText(a) + " with " + PlainText(b));
}

} // namespace

Value Value::ofNumber(Decimal d, bool currency) {
    Value v;
    v.kind = Kind::Number;
    v.number = d;
    v.currency = currency;
    return v;
}

Value Value::ofText(std::string s) {
    Value v;
    v.kind = Kind::Text;
    v.text = std::move(s);
    return v;
}

Value Value::ofBoolean(bool b) {
    Value v;
    v.kind = Kind::Boolean;
    v.boolean = b;
    return v;
}

Value FromTyped(const TypedValue& t) {
    switch (t.kind) {
    case TypedValue::Kind::Empty:
        return {};
    case TypedValue::Kind::Text:
        return Value::ofText(t.text);
    case TypedValue::Kind::Integer:
        return Value::ofNumber(Decimal::fromInteger(t.fixed));
    case TypedValue::Kind::Currency:
        return Value::ofNumber(Decimal::fromScaled(t.fixed, 4), true);
    case TypedValue::Kind::Decimal:
        // The shortest digits that give the double back: 0.1 is 0.1, not its binary neighbour.
        if (auto d = Decimal::fromDigits(detail::DecimalFromDouble(t.real))) return Value::ofNumber(*d);
        return {};
    case TypedValue::Kind::Boolean:
        return Value::ofBoolean(t.boolean);
    case TypedValue::Kind::DateTime: {
        Value v;
        v.kind = Value::Kind::DateTime;
        v.dateTime = t.dateTime;
        return v;
    }
    }
    return {};
}

TypedValue ToTyped(const Value& v) {
    switch (v.kind) {
    case Value::Kind::Empty:
        return {};
    case Value::Kind::Text:
        return TypedValue::ofText(v.text);
    case Value::Kind::Boolean:
        return TypedValue::ofBoolean(v.boolean);
    case Value::Kind::DateTime:
        return TypedValue::ofDateTime(v.dateTime);
    case Value::Kind::Number:
        if (v.currency) {
            if (auto units = v.number.toScaled(4)) return TypedValue::ofCurrencyUnits(*units);
        } else if (auto whole = v.number.toScaled(0)) {
            return TypedValue::ofInteger(*whole);
        }
        return TypedValue::ofDecimal(v.number.toDouble());
    }
    return {};
}

Value ApplyUnary(Op op, const Value& a) {
    if (op == Op::Not) return a.isEmpty() ? Value::ofBoolean(true) : Value::ofBoolean(!Truth(a));
    if (a.isEmpty()) return {};
    const Value n = Value::ofNumber(AsNumber(a, "negate"), a.currency);
    return Value::ofNumber(n.number.negated(), n.currency);
}

Value ApplyBinary(Op op, const Value& a, const Value& b) {
    switch (op) {
    case Op::Concat:
        return Value::ofText(PlainText(a) + PlainText(b));
    case Op::And:
        return Value::ofBoolean(Truth(a) && Truth(b));
    case Op::Or:
        return Value::ofBoolean(Truth(a) || Truth(b));
    case Op::Eq:
    case Op::Ne: {
        bool equal;
        if (a.isEmpty() || b.isEmpty()) {
            auto blank = [](const Value& v) {
                return v.isEmpty() || (v.kind == Value::Kind::Text && v.text.empty());
            };
            equal = blank(a) && blank(b);
        } else {
            equal = CompareNonEmpty(a, b) == 0;
        }
        return Value::ofBoolean(op == Op::Eq ? equal : !equal);
    }
    case Op::Lt:
    case Op::Le:
    case Op::Gt:
    case Op::Ge: {
        if (a.isEmpty() || b.isEmpty()) return Value::ofBoolean(false); // nothing to order
        const int c = CompareNonEmpty(a, b);
        const bool r = op == Op::Lt ? c < 0 : op == Op::Le ? c <= 0 : op == Op::Gt ? c > 0 : c >= 0;
        return Value::ofBoolean(r);
    }
    default:
        break;
    }
    if (a.isEmpty() || b.isEmpty()) return {};
    static constexpr const char* kVerb[] = {"add", "subtract", "multiply", "divide", "divide"};
    const char* verb = kVerb[int(op)];
    const Decimal x = AsNumber(a, verb), y = AsNumber(b, verb);
    const bool currency = a.currency || b.currency;
    switch (op) {
    case Op::Add:
        return Value::ofNumber(Checked(x.add(y), "the sum"), currency);
    case Op::Sub:
        return Value::ofNumber(Checked(x.subtract(y), "the difference"), currency);
    case Op::Mul:
        return Value::ofNumber(Checked(x.multiply(y), "the product"), currency);
    case Op::Div:
    case Op::Mod:
        if (y.isZero()) fail("division by zero");
        return Value::ofNumber(Checked(op == Op::Div ? x.divide(y) : x.remainder(y), "the quotient"),
                               currency);
    default:
        fail("unknown operator");
    }
}

bool Truth(const Value& v) {
    switch (v.kind) {
    case Value::Kind::Empty:
        return false;
    case Value::Kind::Boolean:
        return v.boolean;
    case Value::Kind::Number:
        return !v.number.isZero();
    default:
        fail("the condition " + PlainText(v) + " is not true or false");
    }
}

bool IsKnownFunction(std::string_view name, size_t n, std::string& why) {
    struct Known {
        std::string_view name;
        size_t min, max;
    };
    static constexpr Known kKnown[] = {{"if", 2, 3},  {"round", 1, 2}, {"abs", 1, 1},
                                       {"len", 1, 1}, {"text", 2, 2},  {"isempty", 1, 1}};
    for (const Known& k : kKnown)
        if (IsKeyword(name, k.name)) {
            if (n >= k.min && n <= k.max) return true;
            why = std::string(k.name) + "() takes " +
                  (k.min == k.max ? std::to_string(k.min)
                                  : std::to_string(k.min) + " or " + std::to_string(k.max)) +
                  (k.max == 1 ? " argument" : " arguments");
            return false;
        }
    why = "unknown function " + std::string(name) + "()";
    return false;
}

std::optional<Value> CallFunction(std::string_view name, const std::vector<Value>& args) {
    if (IsKeyword(name, "isempty"))
        return Value::ofBoolean(args[0].isEmpty() ||
                                (args[0].kind == Value::Kind::Text && args[0].text.empty()));
    if (IsKeyword(name, "len")) {
        if (args[0].isEmpty()) return Value::ofNumber(Decimal::fromInteger(0));
        int64_t chars = 0;
        for (char c : PlainText(args[0])) // characters, not bytes
            chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        return Value::ofNumber(Decimal::fromInteger(chars));
    }
    if (IsKeyword(name, "text")) return Value::ofText(FormatExprValue(args[0], PlainText(args[1])));
    if (args[0].isEmpty()) return Value{};
    if (IsKeyword(name, "abs"))
        return Value::ofNumber(AsNumber(args[0], "take abs() of").abs(), args[0].currency);
    if (IsKeyword(name, "round")) {
        int places = 0;
        if (args.size() > 1) {
            const Decimal p = AsNumber(args[1], "round to");
            const auto whole = p.toScaled(0);
            if (!whole || *whole < -18 || *whole > Decimal::kMaxScale) fail("round() takes -18 to 18 places");
            places = int(*whole);
        }
        return Value::ofNumber(Checked(AsNumber(args[0], "round").round(places), "the rounded value"),
                               args[0].currency);
    }
    return std::nullopt;
}

void Total::add(const Value& v) {
    if (v.isEmpty()) return;
    ++m_count;
    std::optional<Decimal> n;
    if (v.kind == Value::Kind::Number)
        n = v.number;
    else if (v.kind == Value::Kind::Text)
        n = Decimal::parse(v.text);
    if (n) {
        ++m_numeric;
        m_currency = m_currency || v.currency;
        if (auto s = m_sum.add(*n))
            m_sum = *s;
        else
            m_overflow = true;
    }
    const Value key = n ? Value::ofNumber(*n, v.currency) : v;
    auto compare = [](const Value& a, const Value& b) -> std::optional<int> {
        try {
            return CompareNonEmpty(a, b);
        } catch (const EvalError&) {
            return std::nullopt; // unrelated kinds: the first kind seen wins
        }
    };
    if (m_min.isEmpty() || compare(key, m_min).value_or(0) < 0) m_min = key;
    if (m_max.isEmpty() || compare(key, m_max).value_or(0) > 0) m_max = key;
}

Value Total::result(int function) const {
    switch (function) {
    case 0:
        if (m_numeric == 0) return {};
        if (m_overflow) fail("the sum leaves the range of numbers");
        return Value::ofNumber(m_sum, m_currency);
    case 1:
        return Value::ofNumber(Decimal::fromInteger(m_count));
    case 2: {
        if (m_numeric == 0) return {};
        if (m_overflow) fail("the sum leaves the range of numbers");
        auto avg = m_sum.divide(Decimal::fromInteger(m_numeric));
        if (!avg) fail("the average leaves the range of numbers");
        return Value::ofNumber(*avg, m_currency);
    }
    case 3:
        return m_min;
    default:
        return m_max;
    }
}

std::string PlainText(const Value& v) {
    switch (v.kind) {
    case Value::Kind::Empty:
        return {};
    case Value::Kind::Text:
        return v.text;
    case Value::Kind::Number:
        return v.number.toString();
    default:
        return ToTyped(v).toString();
    }
}

std::string FormatExprValue(const Value& v, std::string_view displayFormat) {
    if (v.kind != Value::Kind::Number) {
        const TypedValue t = ToTyped(v);
        return FormatValue(t, FieldType::Text, displayFormat);
    }
    if (IsChineseAmountFormat(displayFormat)) return ChineseUppercaseAmountOfDecimalText(v.number.toString());
    const bool numberFormat = detail::IsNumberFormat(displayFormat);
    if (!numberFormat && !v.currency) return v.number.toString();
    const std::string_view format = numberFormat ? displayFormat : std::string_view("0.00");
    // Amounts to 1/10^4 take the fixed-point path that fields take; anything finer its exact digits.
    if (const auto units = v.number.toScaled(4)) return detail::FormatScaledNumber(*units, 4, format);
    return detail::FormatNumber(v.number.digits(), format);
}

} // namespace verolux::reports::format::expr
