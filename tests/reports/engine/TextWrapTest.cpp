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
                      WrapCase{"blanksOpeningAWrappedLineDropped", "  aaa bbb", 6, "aaa\nbbb"},
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

// Marks stand for text filled in later (the page count), written '|' here: each keeps to the text
// before it, wherever the lines break.
TEST(TextWrap, MarksKeepToTheTextBeforeThem) {
    const struct {
        const char* text;
        double width;
        const char* lines;
    } cases[] = {
        {"ab|c", 100, "ab|c"},       {"aaa| bbb", 6, "aaa|\nbbb"}, {"aaa |bbb", 6, "aaa\n|bbb"},
        {"abcdef|", 8, "abcd\nef|"}, {"aa  | bb", 4, "aa\n|bb"},   {"a|\nb||", 100, "a|\nb||"},
    };
    Template t;
    FixedMeasurer m(t);
    for (const auto& c : cases) {
        std::string text;
        std::vector<uint32_t> marks;
        for (const char* p = c.text; *p; ++p)
            *p == '|' ? marks.push_back(uint32_t(text.size())) : text.push_back(*p);
        std::string out = ">";
        WrapText(text, c.width, 0, m, out, &marks);
        for (size_t i = marks.size(); i-- > 0;)
            out.insert(1 + marks[i], "|");
        EXPECT_EQ(out, ">" + std::string(c.lines)) << c.text;
    }
}

// A long value without blanks in a narrow column is measured a bounded number of times per character:
// twice the text, twice the work.
TEST(TextWrap, WorkGrowsLinearlyWithTheText) {
    Template t;
    auto work = [&](size_t bytes) {
        FixedMeasurer m(t);
        std::string out;
        WrapText(std::string(bytes, 'x'), 10, 0, m, out);
        return double(m.measuredBytes);
    };
    EXPECT_NEAR(work(128 * 1024) / work(64 * 1024), 2.0, 0.01);
}
