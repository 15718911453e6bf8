#include "tests/reports/engine/FixedMeasurer.h"

#include "agent/reports/layout/TextWrap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace verolux::reports;

namespace {

// Widths in mm; at 10 pt an ASCII character is 2 mm wide, any other 4 mm.
TEST(TextWrap, Wraps) {
    const struct {
        const char* text;
        double width;
        const char* lines;
    } rows[] = {
        {"hello world", 22, "hello world"},
        {"hello world", 20, "hello\nworld"},
        {"aa   bb", 6, "aa\nbb"},
        {"  aaa bbb", 6, "aaa\nbbb"},
        {"abcdefghij", 8, "abcd\nefgh\nij"},
        // Chinese breaks between any two characters: 4 mm each, 3 per 12 mm line.
        {"上海华东贸易有限公司", 12, "上海华\n东贸易\n有限公\n司"},
        // The full stop may not start a line, so it stays with the character before it.
        {"一二三。四五", 12, "一二\n三。四\n五"},
        {"USB-C 数据线 1m", 14, "USB-C\n数据线\n1m"},
        {"ab\ncd", 100, "ab\ncd"},
        {"", 10, ""},
        {"ab", 1, "a\nb"},
    };
    Template t;
    for (const auto& r : rows) {
        FixedMeasurer m(t);
        std::string out;
        const int n = WrapText(r.text, r.width, 0, m, out);
        EXPECT_EQ(n, CountLines(out)) << r.text;
        EXPECT_EQ(out, r.lines) << r.text;
    }
}

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

} // namespace

// Lines of text that is not wrapped are cut once they reach the given width, but only past 1 KB; marks in
// a cut-off part go to the end of what is kept. FixedMeasurer: 2 mm an ASCII character, 4 mm any other.
TEST(TextWrap, LongLinesAreCutWhereTheyStopShowing) {
    const std::string longLine(kClipLineBytes + 1, 'x'), fullLine(kClipLineBytes, 'y');
    const std::string cjk = [] {
        std::string s;
        while (s.size() <= kClipLineBytes)
            s += "中";
        return s;
    }();
    const struct {
        std::string text;
        std::vector<uint32_t> marks, movedTo;
        std::string clipped;
    } rows[] = {
        {longLine, {}, {}, "xxxxx"},  // 10 mm: five characters
        {fullLine, {}, {}, fullLine}, // not longer than the limit: kept whole
        {longLine + "\nab\n" + longLine, {}, {}, "xxxxx\nab\nxxxxx"},
        {cjk, {}, {}, "中中中"}, // 4 mm each: the third reaches 10 mm; never half a character
        {longLine, {3, 5, 6, 1025}, {3, 5, 5, 5}, "xxxxx"},
        {"a\n" + longLine, {2, 1027}, {2, 7}, "a\nxxxxx"},
    };
    Template t;
    for (const auto& r : rows) {
        FixedMeasurer m(t);
        std::string out = ">";
        std::vector<uint32_t> marks = r.marks;
        ClipLongLines(r.text, 10, 0, m, out, &marks);
        EXPECT_EQ(out, ">" + r.clipped) << r.text.substr(0, 20);
        EXPECT_EQ(marks, r.movedTo) << r.text.substr(0, 20);
        EXPECT_LT(m.measuredBytes, 20u) << "only the kept part is measured";
    }
}
