#include "tests/reports/format/ValueDump.h"

#include "agent/reports/format/ValueFormat.h"

#include <gtest/gtest.h>

using namespace verolux::reports::format;

namespace {

// Each row: a value, its field's type, the format, and the text it prints.
TEST(NumberFormat, Formats) {
    using F = FieldType;
    const auto Int = [](std::int64_t v) { return TypedValue::ofInteger(v); };
    const auto Cur = [](std::int64_t tenThousandths) { return TypedValue::ofCurrencyUnits(tenThousandths); };
    const auto Dec = [](double v) { return TypedValue::ofDecimal(v); };
    const auto Txt = [](std::string s) { return TypedValue::ofText(std::move(s)); };
    const auto Bool = [](bool b) { return TypedValue::ofBoolean(b); };
    const struct {
        TypedValue value;
        FieldType type;
        const char *format, *expected;
    } rows[] = {
        // Plain patterns.
        {Int(123), F::Integer, "#,##0", "123"},
        {Int(1234), F::Integer, "#,##0", "1,234"},
        {Int(-1234567), F::Integer, "#,##0", "-1,234,567"},
        {Int(1234567), F::Integer, "#,##0.00", "1,234,567.00"},
        {Int(42), F::Integer, "000000", "000042"},
        {Int(INT64_MAX), F::Integer, "#,##0", "9,223,372,036,854,775,807"},
        {Int(INT64_MIN), F::Integer, "0", "-9223372036854775808"},
        {Int(0), F::Integer, "#", "0"},
        {Dec(0.5), F::Decimal, "#.##", ".5"},
        // Currency symbols and literal text around the digits.
        {Cur(12345000), F::Currency, "¥#,##0.00", "¥1,234.50"},
        {Cur(-12345000), F::Currency, "¥#,##0.00", "-¥1,234.50"},
        {Cur(50000), F::Currency, "0.00元/kg", "5.00元/kg"},
        {Cur(100000), F::Currency, "\"合计：\"#,##0.00", "合计：10.00"},
        {Int(5), F::Integer, "\"#\"0", "#5"},
        {Int(5), F::Integer, "0\\0", "50"},
        // Rounding half away from zero, on the decimal digits as written.
        {Cur(26750), F::Currency, "0.00", "2.68"},
        {Cur(26650), F::Currency, "0.00", "2.67"},
        {Cur(-26750), F::Currency, "0.00", "-2.68"},
        {Cur(26749), F::Currency, "0.00", "2.67"},
        {Cur(99999950), F::Currency, "#,##0.00", "10,000.00"},
        // 2.675 and 1.005 as doubles lie just below the half; people wrote 2.675, so it rounds up.
        {Dec(2.675), F::Decimal, "0.00", "2.68"},
        {Dec(1.005), F::Decimal, "0.00", "1.01"},
        {Dec(-0.5), F::Decimal, "0", "-1"},
        {Dec(2.5), F::Decimal, "0", "3"},
        {Dec(0.1 + 0.2), F::Decimal, "0.00000000000000000", "0.30000000000000000"},
        {Dec(-0.001), F::Decimal, "0.00", "0.00"},
        {Dec(1e-7), F::Decimal, "0.00", "0.00"},
        {Dec(1e21), F::Decimal, "#,##0", "1,000,000,000,000,000,000,000"},
        // Percent.
        {Dec(0.1234), F::Decimal, "0.0%", "12.3%"},
        {Int(1), F::Integer, "0%", "100%"},
        // Optional decimals.
        {Dec(5), F::Decimal, "0.##", "5"},
        {Dec(5.126), F::Decimal, "0.##", "5.13"},
        {Dec(1234.5), F::Decimal, "#,##0.0#", "1,234.5"},
        // Sections: positive;negative;zero.
        {Cur(-12345000), F::Currency, "#,##0.00;(#,##0.00)", "(1,234.50)"},
        {Cur(12345000), F::Currency, "#,##0.00;(#,##0.00)", "1,234.50"},
        {Int(0), F::Integer, "0.00;-0.00;\"零\"", "零"},
        {Dec(0.001), F::Decimal, "0.00;-0.00;-", "-"},
        {Int(0), F::Integer, "0;-0;", ""},
        {Int(-3), F::Integer, "0;\"欠\"0", "欠3"},
        // Defaults when no format is given.
        {Int(-5), F::Integer, "", "-5"},
        {Cur(12345), F::Currency, "", "1.23"},
        {Dec(2.5), F::Decimal, "", "2.5"},
        {Dec(1e-7), F::Decimal, "", "0.0000001"},
        {Dec(1e21), F::Decimal, "", "1000000000000000000000"},
        {Dec(3), F::Currency, "", "3.00"},
        {Dec(2.5), F::Integer, "", "2.5"},
        // Formats that do not fit the value are ignored.
        {Int(5), F::Integer, "yyyy-MM-dd", "5"},
        {Int(5), F::Integer, "是;否", "5"},
        // Text holding a number is formatted exactly, without a detour through double.
        {Txt("1234.5"), F::Text, "#,##0.00", "1,234.50"},
        {Txt("¥1,234.5"), F::Text, "#,##0.00", "1,234.50"},
        {Txt("12345678901234567890.125"), F::Text, "0.00", "12345678901234567890.13"},
        {Txt("abc"), F::Text, "#,##0.00", "abc"},
        {Txt("2024-03-05"), F::Text, "yyyy年M月d日", "2024年3月5日"},
        {Txt("x"), F::Text, "是;否", "x"},
        // Booleans: true text;false text.
        {Bool(true), F::Boolean, "是;否", "是"},
        {Bool(false), F::Boolean, "是;否", "否"},
        {Bool(true), F::Boolean, "✓;", "✓"},
        {Bool(false), F::Boolean, "✓;", ""},
        {Bool(true), F::Boolean, "✓", "✓"},
        {Bool(false), F::Boolean, "✓", ""},
        {Bool(true), F::Boolean, "", "true"},
        {Bool(false), F::Boolean, "", "false"},
        {Bool(true), F::Boolean, "0.0", "1.0"},
        // Empty values print nothing, whatever the format.
        {TypedValue::empty(), F::Currency, "#,##0.00", ""},
        {TypedValue::empty(), F::Boolean, "是;否", ""},
        {TypedValue::empty(), F::Currency, "大写金额", ""},
    };
    for (const auto& r : rows)
        EXPECT_EQ(FormatValue(r.value, r.type, r.format), r.expected)
            << Dump(r.value) << " with \"" << r.format << "\"";
}

TEST(ChineseAmountFormatNames, Aliases) {
    for (const char* name : {"大写金额", " 大写金额 ", "大写", "CNY", "cny", "RMB"})
        EXPECT_TRUE(IsChineseAmountFormat(name)) << name;
    for (const char* name : {"#,##0.00", "", "大写金额x"})
        EXPECT_FALSE(IsChineseAmountFormat(name)) << name;
}

} // namespace
