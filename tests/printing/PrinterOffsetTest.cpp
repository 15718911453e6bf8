// A printer's offset as MyIni.ini keeps it, and where it moves a document's page.
#include "agent/printing/PrinterOffset.h"
#include "agent/printing/DocumentShift.h"

#include <gtest/gtest.h>

using namespace verolux;

namespace {

struct OffsetCase {
    const char* text;
    std::optional<PrinterOffset> offset;
};

const OffsetCase kCases[] = {
    {"15,-8", PrinterOffset{15, -8}},
    {"+3,0", PrinterOffset{3, 0}},
    {"-300,300", PrinterOffset{-300, 300}},
    {"301,0", std::nullopt},
    {"1.5,2", std::nullopt},
    {"", std::nullopt},
    {"5", std::nullopt},
    {"5,", std::nullopt},
    {"a,b", std::nullopt},
};

TEST(PrinterOffset, Read) {
    for (const OffsetCase& c : kCases)
        EXPECT_EQ(ParseOffset(c.text), c.offset) << c.text;
}

TEST(PrinterOffset, WrittenAsRead) {
    EXPECT_EQ(FormatOffset({15, -8}), "15,-8");
    EXPECT_EQ(ParseOffset(FormatOffset({-1, 2})), (PrinterOffset{-1, 2}));
    EXPECT_EQ((PrinterOffset{15, -8}).xMm(), 1.5);
}

constexpr double kPt = 72 / 25.4;
constexpr PagePoints kA4{210 * kPt, 297 * kPt}, kA5Wide{210 * kPt, 148.5 * kPt};

struct ShiftCase {
    const char* what;
    PagePoints page;
    double sheetW, sheetH;
    Fit fit;
    PageShift shift; // of the offset 2 mm right, 1 mm down
};

const ShiftCase kShifts[] = {
    {"sheet not known", kA5Wide, 0, 0, Fit::Fit, {2, 1}},
    {"actual, same orientation", kA4, 210, 297, Fit::Actual, {2, 1}},
    {"actual, turned: the page's right goes up the sheet", kA5Wide, 210, 297, Fit::Actual, {-1, 2}},
    {"portrait page on a wide label, turned", kA4, 100, 50, Fit::Actual, {-1, 2}},
    {"fit enlarges the page: the shift shrinks", {105 * kPt, 148.5 * kPt}, 210, 297, Fit::Fit, {1, 0.5}},
    {"fill takes the larger scale", {100 * kPt, 110 * kPt}, 210, 297, Fit::Fill, {2 / 2.7, 1 / 2.7}},
    {"the printer's choice only shrinks", {420 * kPt, 594 * kPt}, 210, 297, Fit::Printer, {4, 2}},
    {"the printer's choice leaves a smaller page", {105 * kPt, 148.5 * kPt}, 210, 297, Fit::Printer, {2, 1}},
};

TEST(PrinterOffset, ShiftOnPage) {
    for (const ShiftCase& c : kShifts) {
        const PageShift s = ShiftOnPage({20, 10}, c.page, c.sheetW, c.sheetH, c.fit);
        EXPECT_NEAR(s.xMm, c.shift.xMm, 1e-9) << c.what;
        EXPECT_NEAR(s.yMm, c.shift.yMm, 1e-9) << c.what;
    }
}

} // namespace
