#include "tests/reports/engine/FixedMeasurer.h"

#include "agent/reports/layout/TextWrap.h"

#include <gtest/gtest.h>

using namespace verolux::reports;

namespace {

struct WrapCase {
    const char* name;
    const char* text;
    double width; // mm; ASCII 2 mm, other characters 4 mm
    const char* lines;
};

class TextWrapTest : public ::testing::TestWithParam<WrapCase> {};

TEST_P(TextWrapTest, Wraps) {
    Template t;
    FixedMeasurer m(t);
    std::string out;
    int n = WrapText(GetParam().text, GetParam().width, 0, m, out);
    EXPECT_EQ(out, GetParam().lines);
    EXPECT_EQ(n, CountLines(out));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextWrapTest,
    ::testing::Values(WrapCase{"fits", "hello world", 22, "hello world"},
                      WrapCase{"breaksAtBlank", "hello world", 20, "hello\nworld"},
                      WrapCase{"blanksAtBreakDropped", "aa   bb", 6, "aa\nbb"},
                      WrapCase{"longWordCut", "abcdefghij", 8, "abcd\nefgh\nij"},
                      // Chinese breaks between any two characters: 4 mm each, 3 per 12 mm line.
                      WrapCase{"cjkAnywhere", "上海华东贸易有限公司", 12, "上海华\n东贸易\n有限公\n司"},
                      // The full stop may not start a line, so it stays with the character before it.
                      WrapCase{"closingPunctuationStays", "一二三。四五", 12, "一二\n三。四\n五"},
                      WrapCase{"mixedScripts", "USB-C 数据线 1m", 14, "USB-C\n数据线\n1m"},
                      WrapCase{"explicitNewline", "ab\ncd", 100, "ab\ncd"}, WrapCase{"empty", "", 10, ""},
                      WrapCase{"tooNarrowForOneCharacter", "ab", 1, "a\nb"}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
