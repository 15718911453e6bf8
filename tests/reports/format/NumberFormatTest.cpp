#include "tests/reports/format/ValueDump.h"

#include "agent/reports/format/ValueFormat.h"

#include <gtest/gtest.h>

using namespace verolux::reports::format;

namespace {

struct FormatCase {
    std::string name;
    TypedValue value;
    FieldType type;
    std::string format;
    std::string expected;
};

TypedValue Int(std::int64_t v) {
    return TypedValue::ofInteger(v);
}
// Currency from whole ten-thousandths, so the test states the exact amount.
TypedValue Cur(std::int64_t tenThousandths) {
    return TypedValue::ofCurrencyUnits(tenThousandths);
}
TypedValue Dec(double v) {
    return TypedValue::ofDecimal(v);
}
TypedValue Txt(std::string s) {
    return TypedValue::ofText(std::move(s));
}
TypedValue Bool(bool b) {
    return TypedValue::ofBoolean(b);
}

class NumberFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(NumberFormatTest, Formats) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(FormatValue(c.value, c.type, c.format), c.expected)
        << Dump(c.value) << " with \"" << c.format << "\"";
}

const FormatCase kCases[] = {
    // Plain patterns.
    {"int_grouped_3_digits", Int(123), FieldType::Integer, "#,##0", "123"},
    {"int_grouped_4_digits", Int(1234), FieldType::Integer, "#,##0", "1,234"},
    {"int_grouped_negative", Int(-1234567), FieldType::Integer, "#,##0", "-1,234,567"},
    {"int_decimals", Int(1234567), FieldType::Integer, "#,##0.00", "1,234,567.00"},
    {"int_leading_zeros", Int(42), FieldType::Integer, "000000", "000042"},
    {"int_max_grouped", Int(INT64_MAX), FieldType::Integer, "#,##0", "9,223,372,036,854,775,807"},
    {"int_min", Int(INT64_MIN), FieldType::Integer, "0", "-9223372036854775808"},
    {"hash_of_zero_shows_zero", Int(0), FieldType::Integer, "#", "0"},
    {"hash_fraction_only", Dec(0.5), FieldType::Decimal, "#.##", ".5"},

    // Currency symbols and literal text around the digits.
    {"cur_yuan", Cur(12345000), FieldType::Currency, "¥#,##0.00", "¥1,234.50"},
    {"cur_yuan_negative", Cur(-12345000), FieldType::Currency, "¥#,##0.00", "-¥1,234.50"},
    {"cur_suffix", Cur(12345000), FieldType::Currency, "#,##0.00 元", "1,234.50 元"},
    {"cur_suffix_tight", Cur(50000), FieldType::Currency, "0.00元/kg", "5.00元/kg"},
    {"quoted_prefix", Cur(100000), FieldType::Currency, "\"合计：\"#,##0.00", "合计：10.00"},
    {"quoted_hash", Int(5), FieldType::Integer, "\"#\"0", "#5"},
    {"escaped_zero", Int(5), FieldType::Integer, "0\\0", "50"},

    // Rounding half away from zero, on the decimal digits as written.
    {"cur_round_up", Cur(26750), FieldType::Currency, "0.00", "2.68"},
    {"cur_round_not_bankers", Cur(26650), FieldType::Currency, "0.00", "2.67"},
    {"cur_round_negative", Cur(-26750), FieldType::Currency, "0.00", "-2.68"},
    {"cur_round_below_half", Cur(26749), FieldType::Currency, "0.00", "2.67"},
    {"cur_round_carries", Cur(99999950), FieldType::Currency, "#,##0.00", "10,000.00"},
    // 2.675 and 1.005 as doubles lie just below the half; people wrote 2.675, so it rounds up.
    {"dec_2_675", Dec(2.675), FieldType::Decimal, "0.00", "2.68"},
    {"dec_1_005", Dec(1.005), FieldType::Decimal, "0.00", "1.01"},
    {"dec_0_125", Dec(0.125), FieldType::Decimal, "0.00", "0.13"},
    {"dec_minus_half", Dec(-0.5), FieldType::Decimal, "0", "-1"},
    {"dec_2_5_not_bankers", Dec(2.5), FieldType::Decimal, "0", "3"},
    {"dec_sum_noise", Dec(0.1 + 0.2), FieldType::Decimal, "0.00000000000000000", "0.30000000000000000"},
    {"negative_rounding_to_zero_loses_sign", Dec(-0.001), FieldType::Decimal, "0.00", "0.00"},
    {"dec_tiny", Dec(1e-7), FieldType::Decimal, "0.00", "0.00"},
    {"dec_huge", Dec(1e21), FieldType::Decimal, "#,##0", "1,000,000,000,000,000,000,000"},

    // Percent.
    {"percent_1", Dec(0.1234), FieldType::Decimal, "0.0%", "12.3%"},
    {"percent_int", Int(1), FieldType::Integer, "0%", "100%"},
    {"percent_negative", Dec(-0.05), FieldType::Decimal, "0%", "-5%"},

    // Optional decimals.
    {"optional_none", Dec(5), FieldType::Decimal, "0.##", "5"},
    {"optional_rounded", Dec(5.126), FieldType::Decimal, "0.##", "5.13"},
    {"optional_mixed", Dec(1234.5), FieldType::Decimal, "#,##0.0#", "1,234.5"},

    // Sections: positive;negative;zero.
    {"section_negative_parens", Cur(-12345000), FieldType::Currency, "#,##0.00;(#,##0.00)", "(1,234.50)"},
    {"section_positive", Cur(12345000), FieldType::Currency, "#,##0.00;(#,##0.00)", "1,234.50"},
    {"section_zero_text", Int(0), FieldType::Integer, "0.00;-0.00;\"零\"", "零"},
    {"section_zero_after_rounding", Dec(0.001), FieldType::Decimal, "0.00;-0.00;-", "-"},
    {"section_empty_zero", Int(0), FieldType::Integer, "0;-0;", ""},
    {"section_negative_red", Int(-3), FieldType::Integer, "0;\"欠\"0", "欠3"},

    // Defaults when no format is given.
    {"default_integer", Int(-5), FieldType::Integer, "", "-5"},
    {"default_currency", Cur(30000), FieldType::Currency, "", "3.00"},
    {"default_currency_rounds", Cur(12345), FieldType::Currency, "", "1.23"},
    {"default_decimal", Dec(2.5), FieldType::Decimal, "", "2.5"},
    {"default_decimal_small", Dec(1e-7), FieldType::Decimal, "", "0.0000001"},
    {"default_decimal_big", Dec(1e21), FieldType::Decimal, "", "1000000000000000000000"},
    {"default_decimal_in_currency_field", Dec(3), FieldType::Currency, "", "3.00"},
    {"default_avg_of_integers", Dec(2.5), FieldType::Integer, "", "2.5"},

    // Formats that do not fit the value are ignored.
    {"int_with_date_format", Int(5), FieldType::Integer, "yyyy-MM-dd", "5"},
    {"int_with_boolean_format", Int(5), FieldType::Integer, "是;否", "5"},

    // Text holding a number is formatted exactly, without a detour through double.
    {"text_number", Txt("1234.5"), FieldType::Text, "#,##0.00", "1,234.50"},
    {"text_with_symbol", Txt("¥1,234.5"), FieldType::Text, "#,##0.00", "1,234.50"},
    {"text_long_exact", Txt("12345678901234567890.125"), FieldType::Text, "0.00", "12345678901234567890.13"},
    {"text_not_number", Txt("abc"), FieldType::Text, "#,##0.00", "abc"},
    {"text_date", Txt("2024-03-05"), FieldType::Text, "yyyy年M月d日", "2024年3月5日"},
    {"text_plain_with_literal_format", Txt("x"), FieldType::Text, "是;否", "x"},

    // Booleans: true text;false text.
    {"bool_shi", Bool(true), FieldType::Boolean, "是;否", "是"},
    {"bool_fou", Bool(false), FieldType::Boolean, "是;否", "否"},
    {"bool_tick", Bool(true), FieldType::Boolean, "✓;", "✓"},
    {"bool_tick_false", Bool(false), FieldType::Boolean, "✓;", ""},
    {"bool_tick_no_semicolon", Bool(true), FieldType::Boolean, "✓", "✓"},
    {"bool_tick_no_semicolon_false", Bool(false), FieldType::Boolean, "✓", ""},
    {"bool_default_true", Bool(true), FieldType::Boolean, "", "true"},
    {"bool_default_false", Bool(false), FieldType::Boolean, "", "false"},
    {"bool_as_number", Bool(true), FieldType::Boolean, "0.0", "1.0"},

    // Empty values print nothing, whatever the format.
    {"empty_number", TypedValue::empty(), FieldType::Currency, "#,##0.00", ""},
    {"empty_boolean", TypedValue::empty(), FieldType::Boolean, "是;否", ""},
    {"empty_amount", TypedValue::empty(), FieldType::Currency, "大写金额", ""},
};

INSTANTIATE_TEST_SUITE_P(Numbers, NumberFormatTest, ::testing::ValuesIn(kCases),
                         [](const auto& row) { return SafeTestName(row.param.name); });

TEST(ChineseAmountFormatNames, Aliases) {
    EXPECT_TRUE(IsChineseAmountFormat("大写金额"));
    EXPECT_TRUE(IsChineseAmountFormat(" 大写金额 "));
    EXPECT_TRUE(IsChineseAmountFormat("大写"));
    EXPECT_TRUE(IsChineseAmountFormat("CNY"));
    EXPECT_TRUE(IsChineseAmountFormat("cny"));
    EXPECT_TRUE(IsChineseAmountFormat("RMB"));
    EXPECT_FALSE(IsChineseAmountFormat("#,##0.00"));
    EXPECT_FALSE(IsChineseAmountFormat(""));
    EXPECT_FALSE(IsChineseAmountFormat("大写金额x"));
}

} // namespace
