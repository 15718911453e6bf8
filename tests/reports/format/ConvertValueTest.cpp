#include "tests/reports/format/ValueDump.h"

#include "agent/reports/format/ValueConvert.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace verolux::reports::format;
using verolux::ScalarValue;

namespace {

struct ConvertCase {
    std::string name;
    ScalarValue input;
    FieldType type;
    std::string expected; // Dump() of the converted value
};

ScalarValue T(std::string s) {
    return ScalarValue::fromText(std::move(s));
}
ScalarValue N(std::string s) {
    return ScalarValue::fromNumber(std::move(s));
}
ScalarValue B(bool b) {
    return ScalarValue::fromBool(b);
}
ScalarValue E() {
    return ScalarValue::empty();
}

class ConvertValueTest : public ::testing::TestWithParam<ConvertCase> {
  protected:
    // Numbers become date-times as Unix milliseconds on the local clock: pin the zone.
    static void SetUpTestSuite() {
        setenv("TZ", "Asia/Shanghai", 1);
        tzset();
    }
};

TEST_P(ConvertValueTest, Converts) {
    const ConvertCase& c = GetParam();
    EXPECT_EQ(Dump(ConvertValue(c.input, c.type)), c.expected);
}

// Each expected value is written out by hand from the rules table in docs/display-formats.md.
const ConvertCase kCases[] = {
    // Empty stays empty for every type.
    {"empty_text", E(), FieldType::Text, "Empty"},
    {"empty_integer", E(), FieldType::Integer, "Empty"},
    {"empty_boolean", E(), FieldType::Boolean, "Empty"},
    {"empty_datetime", E(), FieldType::DateTime, "Empty"},

    // Text fields keep what was sent, numbers and booleans as their text.
    {"text_text", T("Acme 公司"), FieldType::Text, "Text Acme 公司"},
    {"text_blank_is_kept", T("  a "), FieldType::Text, "Text   a "},
    {"text_empty_string", T(""), FieldType::Text, "Empty"},
    {"text_number", N("12.50"), FieldType::Text, "Text 12.50"},
    {"text_boolean", B(true), FieldType::Text, "Text true"},

    // Integer: decimal text, thousands separators, rounding half away from zero.
    {"int_number", N("-17"), FieldType::Integer, "Integer -17"},
    {"int_thousands", T("1,234,567"), FieldType::Integer, "Integer 1234567"},
    {"int_blanks", T("  8 "), FieldType::Integer, "Integer 8"},
    {"int_plus", T("+8"), FieldType::Integer, "Integer 8"},
    {"int_rounds_up", T("2.5"), FieldType::Integer, "Integer 3"},
    {"int_rounds_negative_away", T("-2.5"), FieldType::Integer, "Integer -3"},
    {"int_rounds_down", T("2.4999"), FieldType::Integer, "Integer 2"},
    {"int_exponent", N("1e3"), FieldType::Integer, "Integer 1000"},
    {"int_max", T("9223372036854775807"), FieldType::Integer, "Integer 9223372036854775807"},
    {"int_min", T("-9223372036854775808"), FieldType::Integer, "Integer -9223372036854775808"},
    {"int_overflow", T("9223372036854775808"), FieldType::Integer, "Empty"},
    {"int_huge_exponent", N("1e21"), FieldType::Integer, "Empty"},
    {"int_bool_true", B(true), FieldType::Integer, "Integer 1"},
    {"int_bool_false", B(false), FieldType::Integer, "Integer 0"},
    {"int_words", T("twelve"), FieldType::Integer, "Empty"},
    {"int_trailing_junk", T("12abc"), FieldType::Integer, "Empty"},
    {"int_lonely_sign", T("-"), FieldType::Integer, "Empty"},
    {"int_lonely_dot", T("."), FieldType::Integer, "Empty"},
    {"int_comma_first", T(",123"), FieldType::Integer, "Empty"},
    {"int_double_comma", T("1,,234"), FieldType::Integer, "Empty"},
    {"int_text_true", T("true"), FieldType::Integer, "Empty"},
    {"int_empty_string", T(""), FieldType::Integer, "Empty"},
    {"int_fullwidth_blank_trimmed", T(std::string("\u3000") + "7"), FieldType::Integer, "Integer 7"},

    // Currency: exact ten-thousandths; currency symbols allowed before the digits.
    {"cur_plain", T("12.5"), FieldType::Currency, "Currency 12.5000"},
    {"cur_number", N("0.1"), FieldType::Currency, "Currency 0.1000"},
    {"cur_yuan_sign", T("¥1,234.56"), FieldType::Currency, "Currency 1234.5600"},
    {"cur_fullwidth_yuan", T("￥8"), FieldType::Currency, "Currency 8.0000"},
    {"cur_dollar_negative", T("-$3.10"), FieldType::Currency, "Currency -3.1000"},
    {"cur_sign_after_symbol", T("$-3.10"), FieldType::Currency, "Currency -3.1000"},
    {"cur_rounds_fifth_decimal", T("1.23455"), FieldType::Currency, "Currency 1.2346"},
    {"cur_rounds_negative", T("-1.23455"), FieldType::Currency, "Currency -1.2346"},
    {"cur_tiny", T("0.00004"), FieldType::Currency, "Currency 0.0000"},
    {"cur_exponent", N("1.5e-3"), FieldType::Currency, "Currency 0.0015"},
    {"cur_bool", B(true), FieldType::Currency, "Currency 1.0000"},
    {"cur_symbol_only", T("\xC2\xA5"), FieldType::Currency, "Empty"},
    {"cur_too_big", T("1e15"), FieldType::Currency, "Empty"},

    // Decimal: double.
    {"dec_plain", T("0.125"), FieldType::Decimal, "Decimal 0.125"},
    {"dec_number_exponent", N("1e21"), FieldType::Decimal, "Decimal 1e+21"},
    {"dec_negative_zero", N("-0"), FieldType::Decimal, "Decimal 0"},
    {"dec_bool", B(false), FieldType::Decimal, "Decimal 0"},
    {"dec_inf_text", T("inf"), FieldType::Decimal, "Empty"},
    {"dec_nan_text", T("NaN"), FieldType::Decimal, "Empty"},
    {"dec_out_of_range", T("1e999"), FieldType::Decimal, "Empty"},
    {"dec_hex", T("0x10"), FieldType::Decimal, "Empty"},

    // Boolean.
    {"bool_true", B(true), FieldType::Boolean, "Boolean true"},
    {"bool_false", B(false), FieldType::Boolean, "Boolean false"},
    {"bool_text_1", T("1"), FieldType::Boolean, "Boolean true"},
    {"bool_text_TRUE", T("TRUE"), FieldType::Boolean, "Boolean true"},
    {"bool_text_Yes", T(" Yes "), FieldType::Boolean, "Boolean true"},
    {"bool_text_shi", T("是"), FieldType::Boolean, "Boolean true"},
    {"bool_text_0", T("0"), FieldType::Boolean, "Boolean false"},
    {"bool_text_false", T("False"), FieldType::Boolean, "Boolean false"},
    {"bool_text_fou", T("否"), FieldType::Boolean, "Boolean false"},
    {"bool_text_empty", T(""), FieldType::Boolean, "Boolean false"},
    {"bool_number_nonzero", N("2"), FieldType::Boolean, "Boolean true"},
    {"bool_number_negative", N("-0.5"), FieldType::Boolean, "Boolean true"},
    {"bool_number_zero", N("0.0"), FieldType::Boolean, "Boolean false"},
    {"bool_text_other", T("maybe"), FieldType::Boolean, "Empty"},

    // Date-time from text.
    {"dt_date", T("2024-03-05"), FieldType::DateTime, "DateTime 2024-03-05 00:00:00.000"},
    {"dt_date_single_digits", T("2024-3-5"), FieldType::DateTime, "DateTime 2024-03-05 00:00:00.000"},
    {"dt_slashes", T("2024/3/5"), FieldType::DateTime, "DateTime 2024-03-05 00:00:00.000"},
    {"dt_dots", T("2024.03.05"), FieldType::DateTime, "DateTime 2024-03-05 00:00:00.000"},
    {"dt_minutes", T("2024-03-05 08:05"), FieldType::DateTime, "DateTime 2024-03-05 08:05:00.000"},
    {"dt_seconds", T("2024-03-05 8:05:09"), FieldType::DateTime, "DateTime 2024-03-05 08:05:09.000"},
    {"dt_iso_t", T("2024-03-05T08:05:09"), FieldType::DateTime, "DateTime 2024-03-05 08:05:09.000"},
    {"dt_iso_ms_z", T("2024-03-05T08:05:09.123Z"), FieldType::DateTime, "DateTime 2024-03-05 08:05:09.123"},
    {"dt_iso_offset_ignored", T("2024-03-05T23:59:59+08:00"), FieldType::DateTime,
     "DateTime 2024-03-05 23:59:59.000"},
    {"dt_iso_offset_compact", T("2024-03-05T08:05-0500"), FieldType::DateTime,
     "DateTime 2024-03-05 08:05:00.000"},
    {"dt_iso_offset_hours", T("2024-03-05 08:05:09 +08"), FieldType::DateTime,
     "DateTime 2024-03-05 08:05:09.000"},
    {"dt_iso_offset_bad", T("2024-03-05T08:05+8"), FieldType::DateTime, "Empty"},
    {"dt_iso_fraction_short", T("2024-03-05T08:05:09.5"), FieldType::DateTime,
     "DateTime 2024-03-05 08:05:09.500"},
    {"dt_chinese", T("2024年3月5日"), FieldType::DateTime, "DateTime 2024-03-05 00:00:00.000"},
    {"dt_chinese_time", T("2024年03月05日 14:30"), FieldType::DateTime, "DateTime 2024-03-05 14:30:00.000"},
    {"dt_compact", T("20240305"), FieldType::DateTime, "DateTime 2024-03-05 00:00:00.000"},
    {"dt_compact_time", T("20240305143000"), FieldType::DateTime, "DateTime 2024-03-05 14:30:00.000"},
    {"dt_leap_day", T("2024-02-29"), FieldType::DateTime, "DateTime 2024-02-29 00:00:00.000"},
    {"dt_not_leap", T("2023-02-29"), FieldType::DateTime, "Empty"},
    {"dt_century_not_leap", T("1900-02-29"), FieldType::DateTime, "Empty"},
    {"dt_month_13", T("2024-13-01"), FieldType::DateTime, "Empty"},
    {"dt_hour_24", T("2024-03-05 24:00"), FieldType::DateTime, "Empty"},
    {"dt_minute_60", T("2024-03-05 10:60"), FieldType::DateTime, "Empty"},
    {"dt_mixed_separators", T("2024-03/05"), FieldType::DateTime, "Empty"},
    {"dt_trailing_junk", T("2024-03-05 abc"), FieldType::DateTime, "Empty"},
    {"dt_words", T("yesterday"), FieldType::DateTime, "Empty"},
    {"dt_bool", B(true), FieldType::DateTime, "Empty"},
    // Numbers: Unix milliseconds on the local clock (Asia/Shanghai, UTC+8, no DST).
    // 1700000000000 ms = 2023-11-14 22:13:20 UTC.
    {"dt_number_ms", N("1700000000000"), FieldType::DateTime, "DateTime 2023-11-15 06:13:20.000"},
    {"dt_number_epoch", N("0"), FieldType::DateTime, "DateTime 1970-01-01 08:00:00.000"},
    {"dt_number_before_epoch", N("-1"), FieldType::DateTime, "DateTime 1970-01-01 07:59:59.999"},
    {"dt_text_ms", T("1700000000000"), FieldType::DateTime, "DateTime 2023-11-15 06:13:20.000"},
    // A number given as 20240305 is milliseconds, not a compact date (only text is read as one).
    {"dt_number_compact_is_ms", N("20240305"), FieldType::DateTime, "DateTime 1970-01-01 13:37:20.305"},
};

INSTANTIATE_TEST_SUITE_P(Rules, ConvertValueTest, ::testing::ValuesIn(kCases),
                         [](const auto& row) { return SafeTestName(row.param.name); });

TEST(FieldTypeNames, ParseAndName) {
    EXPECT_EQ(ParseFieldType("text"), FieldType::Text);
    EXPECT_EQ(ParseFieldType("Integer"), FieldType::Integer);
    EXPECT_EQ(ParseFieldType("DECIMAL"), FieldType::Decimal);
    EXPECT_EQ(ParseFieldType("currency"), FieldType::Currency);
    EXPECT_EQ(ParseFieldType("boolean"), FieldType::Boolean);
    EXPECT_EQ(ParseFieldType("datetime"), FieldType::DateTime);
    EXPECT_EQ(ParseFieldType("date"), std::nullopt);
    EXPECT_EQ(ParseFieldType(""), std::nullopt);
    EXPECT_EQ(ParseFieldType("text "), std::nullopt);
    for (FieldType t : {FieldType::Text, FieldType::Integer, FieldType::Decimal, FieldType::Currency,
                        FieldType::Boolean, FieldType::DateTime})
        EXPECT_EQ(ParseFieldType(FieldTypeName(t)), t);
}

TEST(UnixTime, FixedOffsets) {
    // 951782400000 ms = 2000-02-29 00:00:00 UTC: a leap day of a century year.
    EXPECT_EQ(Dump(TypedValue::ofDateTime(DateTimeFromUnixMs(951782400000LL, 0))),
              "DateTime 2000-02-29 00:00:00.000");
    EXPECT_EQ(Dump(TypedValue::ofDateTime(DateTimeFromUnixMs(951782400000LL, -60))),
              "DateTime 2000-02-28 23:00:00.000");
    // Far outside years 1..9999 clamps instead of producing an impossible date.
    EXPECT_TRUE(DateTimeFromUnixMs(INT64_MAX, 0).isValid());
    EXPECT_TRUE(DateTimeFromUnixMs(INT64_MIN, 0).isValid());
}

TEST(DayOfWeek, KnownDates) {
    EXPECT_EQ((DateTime{2024, 3, 5}).dayOfWeek(), 2);   // a Tuesday
    EXPECT_EQ((DateTime{2000, 1, 1}).dayOfWeek(), 6);   // a Saturday
    EXPECT_EQ((DateTime{1970, 1, 1}).dayOfWeek(), 4);   // a Thursday
    EXPECT_EQ((DateTime{1969, 12, 28}).dayOfWeek(), 7); // a Sunday, before the epoch
}

} // namespace
