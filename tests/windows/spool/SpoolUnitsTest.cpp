// The pure parts of the Windows print path: which pages a job draws, and paper names as CUPS spells
// them (the same names the Linux build gets from libcups).
#include "agent/reports/cups/PageSelection.h"
#include "agent/reports/cups/PwgNames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace verolux::cups;

namespace {

struct Selection {
    const char* name;
    const char* ranges;
    int pageCount;
    bool reverse;
    std::vector<int> expected; // 0-based
};

const Selection kSelections[] = {
    {"all", "", 4, false, {0, 1, 2, 3}},
    {"allReversed", "", 3, true, {2, 1, 0}},
    {"rangeAndPage", "1-2,4", 5, false, {0, 1, 3}},
    {"overlapsOnce", "2-3,3,1-2", 4, false, {0, 1, 2}},
    {"openEnd", "3-", 5, false, {2, 3, 4}},
    {"beyondTheEnd", "2-9", 3, false, {1, 2}},
    {"onlyBeyond", "7", 3, false, {}},
    {"spaces", " 1 - 2 , 3 ", 4, true, {2, 1, 0}},
    {"backwards", "3-1", 4, false, {}},
    {"notANumber", "a-b", 4, false, {}},
    {"zero", "0", 4, false, {}},
};

class Pages : public testing::TestWithParam<Selection> {};

TEST_P(Pages, Selected) {
    const Selection& s = GetParam();
    EXPECT_EQ(s.expected, SelectPages(s.ranges, s.pageCount, s.reverse));
}

INSTANTIATE_TEST_SUITE_P(Table, Pages, testing::ValuesIn(kSelections),
                         [](const testing::TestParamInfo<Selection>& p) {
                             return std::string(p.param.name);
                         });

TEST(PwgNames, CustomSizesAsLibcupsSpellsThem) {
    EXPECT_EQ("custom_62x29mm_62x29mm", CustomSizeName(6200, 2900));
    EXPECT_EQ("custom_50x80.5mm_50x80.5mm", CustomSizeName(5000, 8050));
    EXPECT_EQ("custom_50.01x80.25mm_50.01x80.25mm", CustomSizeName(5001, 8025));
    EXPECT_EQ("custom_4x6in_4x6in", CustomSizeName(10160, 15240));
    EXPECT_EQ("custom_4.25x5.5in_4.25x5.5in", CustomSizeName(10795, 13970));
}

TEST(PwgNames, StandardSizesWithinAMillimetre) {
    EXPECT_EQ("iso_a4_210x297mm", StandardSizeName(20990, 29700)); // a driver's tenths
    EXPECT_EQ("na_letter_8.5x11in", StandardSizeName(21590, 27940));
    EXPECT_EQ("", StandardSizeName(6200, 2900));
}

TEST(PwgNames, SizeSpelledInTheName) {
    int w = 0, h = 0;
    ASSERT_TRUE(SizeOfName("iso_a4_210x297mm", &w, &h));
    EXPECT_EQ(std::make_pair(21000, 29700), std::make_pair(w, h));
    ASSERT_TRUE(SizeOfName("na_letter_8.5x11in", &w, &h));
    EXPECT_EQ(std::make_pair(21590, 27940), std::make_pair(w, h));
    ASSERT_TRUE(SizeOfName("custom_62x29mm_62x29mm", &w, &h));
    EXPECT_EQ(std::make_pair(6200, 2900), std::make_pair(w, h));
    EXPECT_FALSE(SizeOfName("a4", &w, &h));
    EXPECT_FALSE(SizeOfName("om_x_axbmm", &w, &h));
}

} // namespace
