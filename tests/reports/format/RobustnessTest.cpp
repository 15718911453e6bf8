#include "agent/reports/barcode/Barcode.h"
#include "agent/reports/format/ChineseAmount.h"
#include "agent/reports/format/DecimalDigits.h"
#include "agent/reports/format/ValueFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

using namespace verolux::reports::format;
using verolux::ScalarValue;

namespace {

// Pieces that steer random strings into the parsers' interesting corners, split at the tabs.
std::vector<std::string> Pieces() {
    const std::string all =
        "0\t1\t9\t5\t.\t,\t-\t+\te\tE\t#\t%\t;\t\"\t'\t\\\t \t:\t/\tT\tZ\ty\tM\td\tH\th\tm\t"
        "s\tz\ta\tAP\t年\t月\t日\t¥\t$\t大写金额\t上午/下午\t是\t否\t\xE3\x80\x80\t\xFF\t\xC3\t"
        "\x80\t999999999999999999999\te99999\t0000000000";
    std::vector<std::string> out;
    for (std::size_t at = 0, tab = 0; tab != std::string::npos; at = tab + 1)
        out.push_back(all.substr(at, (tab = all.find('\t', at)) - at));
    return out;
}
const std::vector<std::string> kPieces = Pieces();

// Up to 12 pieces, one in five a random byte.
std::string RandomText(std::mt19937& rng) {
    std::string out;
    for (int i = 0, n = int(rng() % 13); i < n; ++i)
        out += rng() % 5 == 0 ? std::string(1, char(rng() % 256)) : kPieces[rng() % kPieces.size()];
    return out;
}

TEST(Robustness, RandomTextThroughConvertFormatAndBarcodes) {
    std::mt19937 rng(20240305);
    const FieldType types[] = {FieldType::Text,     FieldType::Integer, FieldType::Decimal,
                               FieldType::Currency, FieldType::Boolean, FieldType::DateTime};
    for (int i = 0; i < 20000; ++i) {
        const std::string text = RandomText(rng);
        const std::string format = RandomText(rng);
        for (const ScalarValue& input : {ScalarValue::fromText(text), ScalarValue::fromNumber(text)})
            for (FieldType type : types) {
                const TypedValue value = ConvertValue(input, type);
                ASSERT_TRUE(value.kind != TypedValue::Kind::Decimal || std::isfinite(value.real)) << text;
                ASSERT_TRUE(value.kind != TypedValue::Kind::DateTime || value.dateTime.isValid()) << text;
                for (const std::string& f :
                     {format, std::string("#,##0.00"), std::string("大写金额"), std::string("yyyy-MM-dd")})
                    (void)FormatValue(value, type, f);
            }
        (void)ChineseUppercaseAmountOfDecimalText(text);
        (void)FormatValue(TypedValue::ofText(text), FieldType::Text, format);
        if (i % 64) continue; // the barcode encoders are slower: a few hundred texts
        for (const char* s : {"code128", "ean13", "qr", "datamatrix", "pdf417"}) {
            const auto r = verolux::reports::barcode::EncodeBarcode(s, text);
            ASSERT_TRUE(r.ok || (!r.error.empty() && r.rects.empty())) << s;
        }
    }
}

TEST(Robustness, ExtremeValuesWithRandomFormats) {
    std::mt19937 rng(7);
    const TypedValue values[] = {TypedValue::ofInteger(INT64_MIN), TypedValue::ofCurrencyUnits(INT64_MIN),
                                 TypedValue::ofDecimal(1.7976931348623157e308),
                                 TypedValue::ofDecimal(-4.9e-324),
                                 TypedValue::ofDateTime({-5, 0, 40, 99, -1, 70})};
    for (int i = 0; i < 2000; ++i) {
        const std::string format = RandomText(rng);
        for (const TypedValue& v : values)
            (void)FormatValue(v, FieldType::Decimal, format);
    }
    // The largest double prints all of its 309 digits; a thousand decimals are capped, not obeyed.
    EXPECT_EQ(FormatValue(values[2], FieldType::Decimal, "0").size(), 309u);
    EXPECT_LE(FormatValue(TypedValue::ofDecimal(1), FieldType::Decimal, "0." + std::string(1000, '0')).size(),
              40u);
}

// The fast plain-number path must agree with the general parser wherever it answers.
TEST(Robustness, PlainNumberFastPathAgreesWithGeneralParser) {
    using namespace verolux::reports::format::detail;
    std::mt19937 rng(99);
    const char alphabet[] = "0123456789,.-+5e9";
    int answered = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string s(1 + rng() % 24, ' ');
        for (char& c : s)
            c = alphabet[rng() % (sizeof alphabet - 1)];
        for (int scale : {0, 4}) {
            const auto fast = ParsePlainScaled(s, scale);
            if (!fast) continue;
            ++answered;
            const auto digits = ParseDecimal(s);
            ASSERT_TRUE(digits.has_value()) << s;
            ASSERT_EQ(ToScaledInt64(*digits, scale), fast) << s << " scale " << scale;
        }
    }
    EXPECT_GT(answered, 1000);
    EXPECT_EQ(ParsePlainScaled("1,234.56785", 4), 12345679);
    EXPECT_EQ(ParsePlainScaled("-0.00005", 4), -1);
    EXPECT_EQ(ParsePlainScaled("9223372036854775807", 0), INT64_MAX);
    EXPECT_EQ(ParsePlainScaled("9223372036854775808", 0), std::nullopt);
}

} // namespace
