#include "tests/reports/format/ValueDump.h"

#include "agent/reports/format/ChineseAmount.h"
#include "agent/reports/format/ValueFormat.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace verolux::reports::format;

namespace {

// Amounts as a cashier would key them in, each followed by its words written out by hand, bank style.
// Rules written into these amounts (as on a cheque or invoice):
// - 壹拾 keeps its 壹; a run of zeros inside the number is one 零; trailing zeros are silent;
// - a zero gap before the next group below 万 or 亿 is one 零 (壹万零叁佰, 壹拾亿零壹);
// - 整 follows 元 when there are no 角 and 分; it is left out after 角 (壹拾元贰角);
// - 零 between 元 and 分 when 角 is zero (壹元零伍分); the optional 零 after a 元 whose units
//   digit is zero is not written (壹拾元贰角, not 壹拾元零贰角);
// - rounded half away from zero to 分 first.
const char* const kAmounts = "0 零元整  1 壹元整  10 壹拾元整  11 壹拾壹元整  20 贰拾元整  99 玖拾玖元整 "
                             "100 壹佰元整  101 壹佰零壹元整  110 壹佰壹拾元整  1000 壹仟元整 "
                             "1001 壹仟零壹元整  1010 壹仟零壹拾元整  9999 玖仟玖佰玖拾玖元整 "
                             "10000 壹万元整  10001 壹万零壹元整  10010 壹万零壹拾元整 "
                             "10300 壹万零叁佰元整  11000 壹万壹仟元整  100010 壹拾万零壹拾元整 "
                             "105000 壹拾万伍仟元整  107000.53 壹拾万柒仟元伍角叁分  1000000 壹佰万元整 "
                             "1010000 壹佰零壹万元整  10000000 壹仟万元整  100000000 壹亿元整 "
                             "100000001 壹亿零壹元整  100010000 壹亿零壹万元整  110000000 壹亿壹仟万元整 "
                             "1000000001 壹拾亿零壹元整 "
                             "1234567890 壹拾贰亿叁仟肆佰伍拾陆万柒仟捌佰玖拾元整 "
                             "1000000000000 壹万亿元整  1200000000000 壹万贰仟亿元整  0.5 伍角  0.05 伍分 "
                             "0.01 壹分  1.05 壹元零伍分  1.5 壹元伍角  10.20 壹拾元贰角 "
                             "10.02 壹拾元零贰分  100.55 壹佰元伍角伍分  325.04 叁佰贰拾伍元零肆分 "
                             "1409.50 壹仟肆佰零玖元伍角  6007.14 陆仟零柒元壹角肆分 "
                             "1680.32 壹仟陆佰捌拾元叁角贰分  12345.678 壹万贰仟叁佰肆拾伍元陆角捌分 "
                             "0.005 壹分  0.004 零元整  1.995 贰元整  2.675 贰元陆角捌分  -3 负叁元整 "
                             "-0.5 负伍角  -10300 负壹万零叁佰元整  -0.004 零元整 ";

// The same words from the digits as typed, from a text field and from an exact currency value.
TEST(ChineseAmount, FromTextAndCurrency) {
    std::istringstream in(kAmounts);
    int checked = 0;
    for (std::string decimal, expected; in >> decimal >> expected; ++checked) {
        EXPECT_EQ(ChineseUppercaseAmountOfDecimalText(decimal), expected);
        EXPECT_EQ(FormatValue(TypedValue::ofText(decimal), FieldType::Text, "大写金额"), expected);
        const auto value = ParseNumberText(decimal, FieldType::Currency);
        ASSERT_TRUE(value.has_value()) << decimal;
        EXPECT_EQ(FormatValue(*value, FieldType::Currency, "大写金额"), expected) << decimal;
    }
    EXPECT_EQ(checked, 53);
}

TEST(ChineseAmountKinds, EveryNumberKindTheLargestAndNotAnAmount) {
    EXPECT_EQ(FormatValue(TypedValue::ofInteger(10300), FieldType::Integer, "大写"), "壹万零叁佰元整");
    EXPECT_EQ(FormatValue(TypedValue::ofDecimal(1.05), FieldType::Decimal, "CNY"), "壹元零伍分");
    // 1.005 is stored just below the half, but was written 1.005: rounds to 壹元零壹分.
    EXPECT_EQ(FormatValue(TypedValue::ofDecimal(1.005), FieldType::Decimal, "大写金额"), "壹元零壹分");
    EXPECT_EQ(FormatValue(TypedValue::ofBoolean(true), FieldType::Boolean, "大写金额"), "壹元整");
    EXPECT_EQ(ChineseUppercaseAmount(TypedValue::ofText("12")), "");
    EXPECT_EQ(ChineseUppercaseAmount(TypedValue::empty()), "");
    // INT64_MAX ten-thousandths = 922,337,203,685,477.5807 → rounded to 分: .58.
    // 9223372|03685477: 玖佰贰拾贰万叁仟叁佰柒拾贰 亿, then 零 for the leading zero of the lower eight
    // digits.
    EXPECT_EQ(FormatValue(TypedValue::ofCurrencyUnits(INT64_MAX), FieldType::Currency, "大写金额"),
              "玖佰贰拾贰万叁仟叁佰柒拾贰亿零叁佰陆拾捌万伍仟肆佰柒拾柒元伍角捌分");
    EXPECT_EQ(FormatValue(TypedValue::ofCurrencyUnits(INT64_MIN), FieldType::Currency, "大写金额"),
              "负玖佰贰拾贰万叁仟叁佰柒拾贰亿零叁佰陆拾捌万伍仟肆佰柒拾柒元伍角捌分");
    // Text that is not an amount: no words, and a text field prints it as it is.
    for (const char* text : {"", "abc", "1e5", "--1"})
        EXPECT_EQ(ChineseUppercaseAmountOfDecimalText(text), "") << text;
    EXPECT_EQ(FormatValue(TypedValue::ofText("abc"), FieldType::Text, "大写金额"), "abc");
}

} // namespace
