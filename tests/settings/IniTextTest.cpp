#include "common/IniText.h"

#include <gtest/gtest.h>

#include <algorithm>

using mINI::CutUtf8;
using mINI::LookupValue;
using mINI::ReplaceValue;

namespace {

const char* const kFile = "; agent settings\r\n"
                          "[AppInfo]\r\n"
                          "WebsUrl = https://erp.example.com \r\n"
                          "PrintVer=1.0.27\r\n"
                          "\r\n"
                          "[Verolux]\r\n"
                          "Show=1\r\n"
                          "Show=0\r\n"
                          "FoceShow=\" 1\"\r\n"
                          "[appinfo]\r\n"
                          "ShellVer=9.9.9\r\n";

struct LookupCase {
    const char* name;
    const char* section;
    const char* key;
    const char* expected;
};

class Lookup : public testing::TestWithParam<LookupCase> {};

TEST_P(Lookup, ReadsAsTheProfileFunctionsDo) {
    const auto& c = GetParam();
    EXPECT_EQ(LookupValue(kFile, c.section, c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Lookup,
    testing::Values(LookupCase{"BlanksAroundValueDropped", "AppInfo", "WebsUrl", "https://erp.example.com"},
                    LookupCase{"NamesIgnoreLetterCase", "APPINFO", "printver", "1.0.27"},
                    LookupCase{"FirstKeyWins", "Verolux", "Show", "1"},
                    LookupCase{"QuotesKeepBlanks", "Verolux", "FoceShow", " 1"},
                    // Only the first section of a name is looked at.
                    LookupCase{"SecondSectionOfTheNameIgnored", "AppInfo", "ShellVer", ""},
                    LookupCase{"MissingKey", "Verolux", "Nothing", ""},
                    LookupCase{"MissingSection", "fileUrl", "orders.grf", ""},
                    LookupCase{"CommentIsNoKey", "AppInfo", "; agent settings", ""}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Lookup, EmptyFileReadsEmpty) {
    EXPECT_EQ(LookupValue("", "AppInfo", "WebsUrl"), "");
}

TEST(Replace, KeepsEveryOtherLineByteForByte) {
    std::string out = ReplaceValue(kFile, "appinfo", "PRINTVER", "1.0.28");
    std::string expected = kFile;
    expected.replace(expected.find("PrintVer=1.0.27"), 15, "PrintVer=1.0.28");
    EXPECT_EQ(out, expected);
}

TEST(Replace, AddsKeyAtTheEndOfItsSection) {
    std::string out = ReplaceValue(kFile, "AppInfo", "ShellVer", "1.0.3");
    EXPECT_NE(out.find("PrintVer=1.0.27\r\nShellVer=1.0.3\r\n\r\n[Verolux]"), std::string::npos) << out;
    EXPECT_EQ(LookupValue(out, "AppInfo", "ShellVer"), "1.0.3");
}

TEST(Replace, CreatesSectionAndFile) {
    std::string out = ReplaceValue("", "fileUrl", "orders.grf", "http://h/orders.grf");
    EXPECT_EQ(out, "[fileUrl]\r\norders.grf=http://h/orders.grf\r\n");
    out = ReplaceValue("[A]\nx=1", "B", "y", "2"); // no final line break, LF lines
    EXPECT_EQ(out, "[A]\nx=1\n[B]\ny=2\n");
}

// A bare CR ends a line as CR LF does; a key added after it stands on a line of its own, and the CR
// it follows becomes CR LF, so no reader glues the two.
TEST(Replace, BareCrEndsALine) {
    EXPECT_EQ(ReplaceValue("[AppInfo]\rWebsUrl=http://a\r", "AppInfo", "ShellVer", "1.0.0"),
              "[AppInfo]\rWebsUrl=http://a\r\nShellVer=1.0.0\r\n");
    EXPECT_EQ(ReplaceValue("[A]\rx=1\r", "B", "y", "2"), "[A]\rx=1\r\n[B]\r\ny=2\r\n");
    std::string out = ReplaceValue("[A]\rx=1\r", "Verolux", "Show", "1");
    EXPECT_EQ(LookupValue(out, "A", "x"), "1");
    EXPECT_EQ(LookupValue(out, "Verolux", "Show"), "1");
}

TEST(Replace, LineBreaksInAValueCannotAddKeys) {
    std::string out = ReplaceValue("", "fileUrl", "a.grf", "http://h/a\r\n[Verolux]\r\nShow=1");
    EXPECT_EQ(LookupValue(out, "Verolux", "Show"), "");
    EXPECT_EQ(LookupValue(out, "fileUrl", "a.grf"), "http://h/a  [Verolux]  Show=1");
}

// Template names become keys of [fileUrl]; names with "=" or a leading bracket must be found again,
// or every request would add one more line. A URL may end in "]", so "[x].grf=...a=[2]" is bracketed
// at both ends and still no section header.
TEST(Replace, KeysThatLookLikeSyntaxAreFoundAgain) {
    for (const char* key : {"a=b.grf", "[x].grf", "=.grf", "a = b.grf", "[x"}) {
        SCOPED_TRACE(key);
        std::string text = ReplaceValue("", "fileUrl", key, "http://h/t?a=[1]");
        text = ReplaceValue(text, "fileUrl", key, "http://h/t?a=[2]");
        text = ReplaceValue(text, "fileUrl", "plain.grf", "http://h/3");
        EXPECT_EQ(LookupValue(text, "fileUrl", key), "http://h/t?a=[2]");
        EXPECT_EQ(LookupValue(text, "fileUrl", "plain.grf"), "http://h/3");
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3) << text;
    }
}

TEST(Section, EntriesInFileOrderFirstOneWins) {
    using Entries = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(mINI::SectionEntries(kFile, "verolux"), (Entries{{"Show", "1"}, {"FoceShow", " 1"}}));
    EXPECT_EQ(mINI::SectionEntries("[Sites]\n; note\nhttps://a.example = 1\n[x]\nb=2\n", "Sites"),
              (Entries{{"https://a.example", "1"}}));
    EXPECT_TRUE(mINI::SectionEntries(kFile, "Missing").empty());
}

TEST(Section, RemoveKeyTakesOnlyItsLine) {
    const std::string removed = mINI::RemoveKey(kFile, "AppInfo", "webSURL");
    EXPECT_EQ(removed,
              "; agent settings\r\n[AppInfo]\r\nPrintVer=1.0.27\r\n" + std::string(kFile).substr(82));
    EXPECT_EQ(mINI::RemoveKey(kFile, "AppInfo", "Nothing"), kFile);
}

TEST(Cut, LongValuesStopAt1024BytesOnACharacterBoundary) {
    std::string ascii(1100, 'x');
    EXPECT_EQ(LookupValue("[S]\r\nk=" + ascii + "\r\n", "S", "k"), ascii.substr(0, 1024));

    std::string chinese; // 3 bytes each: 1,024 is not a multiple of 3
    for (int i = 0; i < 400; ++i)
        chinese += "报";
    std::string read = LookupValue("[S]\r\nk=" + chinese + "\r\n", "S", "k");
    EXPECT_EQ(read.size(), 1023u);
    EXPECT_EQ(read, chinese.substr(0, 1023));
    EXPECT_EQ(CutUtf8("ab", 5), "ab");
}

} // namespace
