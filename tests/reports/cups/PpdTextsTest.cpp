// The names people read for trays and papers, from a driver's PPD and the scheduler's strings file.
#include "agent/reports/cups/PpdTexts.h"

#include <gtest/gtest.h>

using namespace verolux::cups;

namespace {

const char* const kPpd = "*PPD-Adobe: \"4.3\"\r\n"
                         "*LanguageVersion: English\r\n"
                         "*OpenUI *InputSlot/Paper Source: PickOne\r\n"
                         "*zh_TW.InputSlot Tray1/紙匣 1: \"\"\r\n"
                         "*InputSlot Tray1/Tray 1: \"<</MediaPosition 0>>setpagedevice\"\r\n"
                         "*InputSlot Tray2/Tray 2: \"\"\r\n"
                         "*InputSlot Manual: \"\"\r\n"
                         "*CloseUI: *InputSlot\r\n"
                         "*zh_CN.InputSlot Tray1/纸盒 1: \"\"\r\n"
                         "*de.InputSlot Tray2/Fach 2: \"\"\r\n"
                         "*PageSize A4/A4: \"\"\r\n"
                         "*zh_CN.PageSize A4/A4 纸: \"\"\r\n"
                         "*ImageableArea A4/A4: \"0 0 595 842\"\r\n";

TEST(PpdTexts, ChoicesWithTheirChineseTranslation) {
    const auto slots = ReadPpdChoices(kPpd, "InputSlot");
    ASSERT_EQ(slots.size(), 3u);
    // zh_CN wins over zh_TW whatever the order; other languages are no Chinese.
    EXPECT_EQ(DisplayText(slots.at("Tray1")), "纸盒 1");
    EXPECT_EQ(slots.at("Tray1").text, "Tray 1");
    EXPECT_EQ(DisplayText(slots.at("Tray2")), "Tray 2");
    EXPECT_EQ(DisplayText(slots.at("Manual")), "");
    EXPECT_EQ(DisplayText(ReadPpdChoices(kPpd, "PageSize").at("A4")), "A4 纸");
    EXPECT_EQ(ReadPpdChoices(kPpd, "PageRegion").size(), 0u);
}

TEST(PpdTexts, AChinesePpdIsItsOwnTranslation) {
    const auto slots =
        ReadPpdChoices("*LanguageVersion: Chinese\n*InputSlot Upper/上纸盒: \"\"\n", "InputSlot");
    EXPECT_EQ(DisplayText(slots.at("Upper")), "上纸盒");
}

TEST(PpdTexts, StringsFile) {
    const auto strings = ReadStringsFile("\"media-source.tray-1\" = \"Tray 1\";\n"
                                         "\"media-source.manual\" = \"Manual \\\"Feed\\\"\";\n"
                                         "broken line\n");
    ASSERT_EQ(strings.size(), 2u);
    EXPECT_EQ(strings.at("media-source.tray-1"), "Tray 1");
    EXPECT_EQ(strings.at("media-source.manual"), "Manual \"Feed\"");
}

} // namespace

#include "agent/reports/cups/MediaChoice.h"

namespace {

PrinterInfo LabelPrinter() {
    PrinterInfo p;
    p.name = "LBL";
    p.media = {{"iso_a4_210x297mm", 210, 297, "A4 纸"}, {"om_62x29mm_62x29mm", 62, 29, "62 × 29"}};
    p.trays = {{"tray-1", "纸盒 1"}, {"manual", "manual"}};
    return p;
}

struct MediaCase {
    const char* name;
    MediaRequest request;
    const char* source;
    const char* media;
    const char* error; // a piece of it, "" when the printer can
};

const MediaCase kMedia[] = {
    {"nothingAsked", {}, "", "", ""},
    {"trayByKeyword", {"tray-1", "", 0, 0}, "tray-1", "", ""},
    {"trayByItsName", {"纸盒 1", "", 0, 0}, "tray-1", "", ""},
    {"unknownTray", {"tray-9", "", 0, 0}, "", "", "no tray \"tray-9\"; it offers tray-1 (纸盒 1), manual"},
    {"paperByName", {"", "A4 纸", 0, 0}, "", "iso_a4_210x297mm", ""},
    {"unknownPaper",
     {"", "A3", 0, 0},
     "",
     "",
     "no paper \"A3\"; it offers iso_a4_210x297mm (A4 纸), om_62x29mm"},
    {"listedSizeTurned", {"", "", 29.2, 62}, "", "om_62x29mm_62x29mm", ""},
    {"noCustomSizes", {"", "", 50, 30}, "", "", "no paper of 50 × 30 mm"},
};

class Media : public testing::TestWithParam<MediaCase> {};

TEST_P(Media, Decided) {
    const MediaCase& c = GetParam();
    const MediaDecision d = DecideMedia(LabelPrinter(), c.request);
    EXPECT_EQ(d.mediaSource, c.source);
    EXPECT_EQ(d.media, c.media);
    if (*c.error == 0)
        EXPECT_EQ(d.error, "");
    else
        EXPECT_NE(d.error.find(c.error), std::string::npos) << d.error;
}

INSTANTIATE_TEST_SUITE_P(Table, Media, testing::ValuesIn(kMedia),
                         [](const testing::TestParamInfo<MediaCase>& p) {
                             return std::string(p.param.name);
                         });

TEST(Media, CustomSizesWithinTheRange) {
    PrinterInfo p = LabelPrinter();
    p.customMinWidthMm = p.customMinHeightMm = 10;
    p.customMaxWidthMm = 104, p.customMaxHeightMm = 1000;
    EXPECT_EQ(DecideMedia(p, {"", "", 50, 30}).media, "custom_30x50mm_30x50mm");
    const MediaDecision tooWide = DecideMedia(p, {"", "", 200, 300});
    EXPECT_NE(tooWide.error.find("custom sizes from 10 × 10 to 104 × 1000 mm"), std::string::npos)
        << tooWide.error;
}

} // namespace
