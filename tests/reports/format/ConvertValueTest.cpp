#include "tests/reports/format/ValueDump.h"

#include "agent/reports/format/ValueConvert.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <vector>

using namespace verolux::reports::format;
using verolux::ScalarValue;

namespace {

// Each row: a field type, what every one of its inputs becomes (as Dump() writes it), written out by hand
// from the rules table in docs/display-formats.md.
TEST(ConvertValue, RulesPerType) {
    // Numbers become date-times as Unix milliseconds on the local clock: pin the zone (UTC+8, no DST).
#ifdef _WIN32
    _putenv_s("TZ", "CST-8"); // the C library's form: name and hours west of UTC
    _tzset();
#else
    setenv("TZ", "Asia/Shanghai", 1);
    tzset();
#endif
    const auto T = [](std::string s) { return ScalarValue::fromText(std::move(s)); };
    const auto N = [](std::string s) { return ScalarValue::fromNumber(std::move(s)); };
    const auto B = [](bool b) { return ScalarValue::fromBool(b); };
    const ScalarValue E = ScalarValue::empty();
    using F = FieldType;
    const struct {
        FieldType type;
        const char* expected;
        std::vector<ScalarValue> inputs;
    } rows[] = {
        // Text fields keep what was sent (blanks too), numbers and booleans as their text.
        {F::Text, "Empty", {E, T("")}},
        {F::Text, "Text Acme 公司", {T("Acme 公司")}},
        {F::Text, "Text   a ", {T("  a ")}},
        {F::Text, "Text 12.50", {N("12.50")}},
        {F::Text, "Text true", {B(true)}},
        // Integer: decimal text, thousands separators, rounding half away from zero, the int64 range.
        {F::Integer, "Integer -17", {N("-17")}},
        {F::Integer, "Integer 1234567", {T("1,234,567")}},
        {F::Integer, "Integer 8", {T("  8 "), T("+8")}},
        {F::Integer,
         "Integer 7",
         {T("\u3000"
            "7")}}, // a full-width blank is trimmed
        {F::Integer, "Integer 3", {T("2.5")}},
        {F::Integer, "Integer -3", {T("-2.5")}},
        {F::Integer, "Integer 2", {T("2.4999")}},
        {F::Integer, "Integer 1000", {N("1e3")}},
        {F::Integer, "Integer 9223372036854775807", {T("9223372036854775807")}},
        {F::Integer, "Integer -9223372036854775808", {T("-9223372036854775808")}},
        {F::Integer, "Integer 1", {B(true)}},
        {F::Integer, "Integer 0", {B(false)}},
        {F::Integer,
         "Empty",
         {E, T("9223372036854775808"), N("1e21"), T("twelve"), T("12abc"), T("-"), T("."), T(",123"),
          T("1,,234"), T("true"), T("")}},
        // Currency: exact ten-thousandths; currency symbols allowed before the digits.
        {F::Currency, "Currency 12.5000", {T("12.5")}},
        {F::Currency, "Currency 0.1000", {N("0.1")}},
        {F::Currency, "Currency 1234.5600", {T("¥1,234.56")}},
        {F::Currency, "Currency 8.0000", {T("￥8")}},
        {F::Currency, "Currency -3.1000", {T("-$3.10"), T("$-3.10")}},
        {F::Currency, "Currency 1.2346", {T("1.23455")}},
        {F::Currency, "Currency -1.2346", {T("-1.23455")}},
        {F::Currency, "Currency 0.0000", {T("0.00004")}},
        {F::Currency, "Currency 0.0015", {N("1.5e-3")}},
        {F::Currency, "Currency 1.0000", {B(true)}},
        {F::Currency, "Empty", {T("\xC2\xA5"), T("1e15")}},
        // Decimal: double.
        {F::Decimal, "Decimal 0.125", {T("0.125")}},
        {F::Decimal, "Decimal 1e+21", {N("1e21")}},
        {F::Decimal, "Decimal 0", {N("-0"), B(false)}},
        {F::Decimal, "Empty", {T("inf"), T("NaN"), T("1e999"), T("0x10")}},
        // Boolean.
        {F::Boolean, "Boolean true", {B(true), T("1"), T("TRUE"), T(" Yes "), T("是"), N("2"), N("-0.5")}},
        {F::Boolean, "Boolean false", {B(false), T("0"), T("False"), T("否"), T(""), N("0.0")}},
        {F::Boolean, "Empty", {E, T("maybe")}},
        // Date-time from text; an offset is read and ignored.
        {F::DateTime,
         "DateTime 2024-03-05 00:00:00.000",
         {T("2024-03-05"), T("2024-3-5"), T("2024/3/5"), T("2024.03.05"), T("2024年3月5日"), T("20240305")}},
        {F::DateTime,
         "DateTime 2024-03-05 08:05:00.000",
         {T("2024-03-05 08:05"), T("2024-03-05T08:05-0500")}},
        {F::DateTime,
         "DateTime 2024-03-05 08:05:09.000",
         {T("2024-03-05 8:05:09"), T("2024-03-05T08:05:09"), T("2024-03-05 08:05:09 +08")}},
        {F::DateTime, "DateTime 2024-03-05 08:05:09.123", {T("2024-03-05T08:05:09.123Z")}},
        {F::DateTime, "DateTime 2024-03-05 08:05:09.500", {T("2024-03-05T08:05:09.5")}},
        {F::DateTime, "DateTime 2024-03-05 23:59:59.000", {T("2024-03-05T23:59:59+08:00")}},
        {F::DateTime, "DateTime 2024-03-05 14:30:00.000", {T("2024年03月05日 14:30"), T("20240305143000")}},
        {F::DateTime, "DateTime 2024-02-29 00:00:00.000", {T("2024-02-29")}},
        {F::DateTime,
         "Empty",
         {E, T("2024-03-05T08:05+8"), T("2023-02-29"), T("1900-02-29"), T("2024-13-01"),
          T("2024-03-05 24:00"), T("2024-03-05 10:60"), T("2024-03/05"), T("2024-03-05 abc"), T("yesterday"),
          B(true)}},
        // Numbers: Unix milliseconds on the local clock; 1700000000000 ms = 2023-11-14 22:13:20 UTC. A number
        // given as 20240305 is milliseconds, not a compact date (only text is read as one).
        {F::DateTime, "DateTime 2023-11-15 06:13:20.000", {N("1700000000000"), T("1700000000000")}},
        {F::DateTime, "DateTime 1970-01-01 08:00:00.000", {N("0")}},
        {F::DateTime, "DateTime 1970-01-01 07:59:59.999", {N("-1")}},
        {F::DateTime, "DateTime 1970-01-01 13:37:20.305", {N("20240305")}},
    };
    for (const auto& r : rows)
        for (const ScalarValue& in : r.inputs)
            EXPECT_EQ(Dump(ConvertValue(in, r.type)), r.expected)
                << FieldTypeName(r.type) << " from kind " << int(in.kind) << " '" << in.text << "'";
}

TEST(FieldTypeNames, ParseAndName) {
    EXPECT_EQ(ParseFieldType("Integer"), FieldType::Integer);
    EXPECT_EQ(ParseFieldType("DECIMAL"), FieldType::Decimal);
    for (const char* bad : {"date", "", "text "})
        EXPECT_EQ(ParseFieldType(bad), std::nullopt) << bad;
    for (FieldType t : {FieldType::Text, FieldType::Integer, FieldType::Decimal, FieldType::Currency,
                        FieldType::Boolean, FieldType::DateTime})
        EXPECT_EQ(ParseFieldType(FieldTypeName(t)), t);
}

TEST(UnixTime, FixedOffsetsAndWeekdays) {
    // 951782400000 ms = 2000-02-29 00:00:00 UTC: a leap day of a century year.
    EXPECT_EQ(Dump(TypedValue::ofDateTime(DateTimeFromUnixMs(951782400000LL, 0))),
              "DateTime 2000-02-29 00:00:00.000");
    EXPECT_EQ(Dump(TypedValue::ofDateTime(DateTimeFromUnixMs(951782400000LL, -60))),
              "DateTime 2000-02-28 23:00:00.000");
    // Far outside years 1..9999 clamps instead of producing an impossible date.
    EXPECT_TRUE(DateTimeFromUnixMs(INT64_MAX, 0).isValid());
    EXPECT_TRUE(DateTimeFromUnixMs(INT64_MIN, 0).isValid());
    // Tuesday, Saturday, Thursday, and a Sunday before the epoch.
    EXPECT_EQ((DateTime{2024, 3, 5}).dayOfWeek(), 2);
    EXPECT_EQ((DateTime{2000, 1, 1}).dayOfWeek(), 6);
    EXPECT_EQ((DateTime{1970, 1, 1}).dayOfWeek(), 4);
    EXPECT_EQ((DateTime{1969, 12, 28}).dayOfWeek(), 7);
}

} // namespace
