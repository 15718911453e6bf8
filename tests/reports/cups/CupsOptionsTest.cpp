// The options a print job carries to CUPS (pure: no scheduler needed, so this runs everywhere). Each
// row compares the whole list in its order: an option sent twice, or one too many, is a fault even
// when the expected one is among them (libcups keeps the last value of a name).
#include "agent/reports/cups/CupsJob.h"
#include "agent/reports/cups/CupsRawJob.h"

#include <gtest/gtest.h>

#include <string>

using namespace verolux::cups;

namespace {

std::string Options(const JobOptions& o) {
    std::string out;
    for (const auto& [name, value] : JobOptionList(o))
        out += (out.empty() ? "" : " ") + name + "=" + value;
    return out;
}

const std::string kA4 = "media=iso_a4_210x297mm ";
const std::string kCollated = "collate=true multiple-document-handling=separate-documents-collated-copies ";

TEST(CupsJobOptions, Table) {
    struct Row {
        const char* name;
        JobOptions options;
        std::string expected;
    };
    auto with = [](auto change) {
        JobOptions o;
        o.paperWidthMm = 210;
        o.paperHeightMm = 297;
        change(o);
        return o;
    };
    const Row rows[] = {
        {"a4 portrait defaults", with([](JobOptions&) {}),
         kA4 + "orientation-requested=3 copies=1 " + kCollated + "sides=one-sided"},
        // The sheet is named as fed, portrait, whichever way round the caller gives it.
        {"landscape named as portrait sheet", with([](JobOptions& o) {
             o.paperWidthMm = 297;
             o.paperHeightMm = 210;
             o.landscape = true;
         }),
         kA4 + "orientation-requested=4 copies=1 " + kCollated + "sides=one-sided"},
        {"portrait given landscape-wise stays portrait", with([](JobOptions& o) {
             o.paperWidthMm = 297;
             o.paperHeightMm = 210;
         }),
         kA4 + "orientation-requested=3 copies=1 " + kCollated + "sides=one-sided"},
        // Within a fraction of a millimetre of a standard size: that size's name.
        {"near a4", with([](JobOptions& o) { o.paperWidthMm = 210.2; }),
         kA4 + "orientation-requested=3 copies=1 " + kCollated + "sides=one-sided"},
        {"label size with a name", with([](JobOptions& o) {
             o.paperWidthMm = 100;
             o.paperHeightMm = 150;
         }),
         "media=om_small-photo_100x150mm orientation-requested=3 copies=1 " + kCollated + "sides=one-sided"},
        {"custom size wider than long: a label, not turned", with([](JobOptions& o) {
             o.paperWidthMm = 80.5;
             o.paperHeightMm = 50;
         }),
         "media=custom_80.5x50mm_80.5x50mm orientation-requested=3 copies=1 " + kCollated +
             "sides=one-sided"},
        {"no paper: the printer's own", with([](JobOptions& o) { o.paperWidthMm = 0; }),
         "orientation-requested=3 copies=1 " + kCollated + "sides=one-sided"},
        {"copies uncollated, long edge, ranges", with([](JobOptions& o) {
             o.copies = 3;
             o.collate = false;
             o.sides = Sides::TwoSidedLongEdge;
             o.pageRanges = "1-3,5";
         }),
         kA4 + "orientation-requested=3 copies=3 collate=false "
               "multiple-document-handling=separate-documents-uncollated-copies sides=two-sided-long-edge "
               "page-ranges=1-3,5"},
        {"short edge, reverse, grey", with([](JobOptions& o) {
             o.sides = Sides::TwoSidedShortEdge;
             o.reverse = true;
             o.monochrome = true;
         }),
         kA4 + "orientation-requested=3 copies=1 " + kCollated +
             "sides=two-sided-short-edge outputorder=reverse print-color-mode=monochrome"},
        {"most copies a page may ask", with([](JobOptions& o) { o.copies = 999; }),
         kA4 + "orientation-requested=3 copies=999 " + kCollated + "sides=one-sided"},
        {"copies below one", with([](JobOptions& o) { o.copies = 0; }),
         kA4 + "orientation-requested=3 copies=1 " + kCollated + "sides=one-sided"},
        // A report's PDF is drawn moved: CUPS hears nothing of the offset.
        {"offset", with([](JobOptions& o) { o.offsetXMm = 1.5; }),
         kA4 + "orientation-requested=3 copies=1 " + kCollated + "sides=one-sided"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Options(row.options), row.expected) << row.name;
}

// A document carries the offset to a print service that draws it (Windows), only when there is one.
TEST(CupsDocumentOptions, OffsetOnlyWhenNotZero) {
    const auto text = [](double x, double y) {
        JobOptions o;
        o.offsetXMm = x;
        o.offsetYMm = y;
        std::string out;
        for (const auto& [name, value] : DocumentOptionList(o, Scaling::None, false))
            out += (out.empty() ? "" : " ") + name + "=" + value;
        return out;
    };
    EXPECT_EQ(text(0, 0), "copies=1 print-scaling=none");
    EXPECT_EQ(text(1.5, -30), "copies=1 print-scaling=none verolux-offset-mm=1.50,-30.00");
}

} // namespace
