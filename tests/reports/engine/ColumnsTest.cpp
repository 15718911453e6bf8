// Detail rows in columns (label sheets), on hand-computable pages: a 100 × 100 mm custom paper with
// 10 mm margins, a 10 mm page header and a 5 mm page footer leave rows the band from y=20 to y=85
// (65 mm): six 10 mm lines of labels per page. Three 25 mm columns 2.5 mm apart fill the 80 mm
// between the margins exactly, so the columns start at x = 10, 37.5 and 65.
#include "tests/reports/engine/PaginationHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

using namespace verolux;
using namespace verolux::reports;

namespace {

std::string sheet(const std::string& columns, const std::string& extraBands = "",
                  const std::string& groups = "[]") {
    return R"({"format": "verolux-report", "version": 1,
      "page": {"paper": "Custom", "width": 100, "height": 100, "margins": {"left": 10, "top": 10, "right": 10, "bottom": 10}},
      "styles": {"default": {"size": 10, "padding": 0.5}, "card": {"borders": "all"},
                 "grow": {"wrap": true, "canGrow": true, "padding": 0}},
      "fields": [{"name": "customer"}, {"name": "item"}, {"name": "amount", "type": "integer"}, {"name": "note"}],
      "bands": {
        "pageHeader": {"height": 10, "items": [{"type": "text", "x": 0, "y": 0, "w": 80, "h": 10, "text": "Labels"}]},
        "detail": {"height": 10, )" +
           columns + R"( "items": [
          {"type": "rect", "x": 0, "y": 0, "w": 25, "h": 10, "style": "card"},
          {"type": "text", "x": 0, "y": 0, "w": 25, "h": 5, "text": "#{amount}"},
          {"type": "text", "x": 0, "y": 5, "w": 25, "h": 5, "style": "grow", "text": "{note}"}]},
        "pageFooter": {"height": 5, "items": [
          {"type": "text", "x": 0, "y": 0, "w": 40, "h": 5, "text": "n={count()} sum={sum(amount)}"},
          {"type": "text", "x": 40, "y": 0, "w": 40, "h": 5, "text": "{#page}/{#pages}"}]})" +
           extraBands + R"(},
      "groups": )" +
           groups + "}";
}

const std::string kAcross = R"("columns": {"count": 3, "width": 25, "spacing": 2.5, "order": "across"},)";
const std::string kDown =
    R"("columns": {"count": 3, "spacing": 2.5, "order": "down"},)"; // width shared out: 25

// Rows of (customer, item, amount = row number, note).
ReportData rows(const std::vector<std::pair<std::string, int>>& customers) {
    ReportData d;
    int n = 0;
    for (const auto& [customer, count] : customers)
        for (int i = 0; i < count; ++i) {
            ++n;
            d.rows.push_back({ScalarValue::fromText(customer), ScalarValue::fromText("item"),
                              ScalarValue::fromNumber(std::to_string(n)), ScalarValue{}});
        }
    return d;
}

// Where each label landed: "page 1 / 20: 1 2 3 / 30: 4 . ." — one entry per line of labels (its top
// y in mm, then the row number in each of the three columns, "." for an empty place), and every
// wider-than-a-label text of the page body (group and report bands) with its x and y.
std::string grid(const LaidOutReport& r) {
    std::string out;
    for (size_t p = 0; p < r.pages.size(); ++p) {
        const Page& page = r.pages[p];
        std::map<float, std::vector<std::string>> lines;
        for (const auto& it : page.items) {
            if (it.kind != ItemKind::Text) continue;
            std::string text(page.textOf(it));
            if (text.size() > 1 && text[0] == '#') {
                int column = int(std::lround((it.x - 10) / 27.5));
                auto& line = lines[it.y];
                if (line.empty()) line.assign(3, ".");
                line[size_t(column)] = text.substr(1);
            } else if (it.y >= 20 && it.y < 85 && it.w > 25) { // full width: group and report bands
                lines[it.y] = {"[" + text + " x=" + std::to_string(int(it.x)) + "]"};
            }
        }
        out += "page " + std::to_string(p + 1);
        for (const auto& [y, cells] : lines) {
            char at[16];
            std::snprintf(at, sizeof at, "%g:", double(y));
            out += std::string(" / ") + at;
            for (const auto& c : cells)
                out += " " + c;
        }
        out += "\n";
    }
    return out;
}

const std::string kGroup = R"([{"by": ["customer"], "repeatHeader": true,
    "header": {"height": 5, "items": [{"type": "text", "x": 0, "y": 0, "w": 80, "h": 5, "text": "H {customer}"}]},
    "footer": {"height": 5, "items": [{"type": "text", "x": 0, "y": 0, "w": 80, "h": 5, "text": "F {customer} {count()}"}]}}])";

// The note cell is 25 mm wide without padding: 12 ASCII characters a line. Three 10-character words take
// three lines = 15 mm; from y=5 the label is 20 mm high.
const char* const kThreeLines = "aaaaaaaaaa bbbbbbbbbb cccccccccc";

const std::string kReportFooter = R"(, "reportFooter": {"height": 5, "items": [
    {"type": "text", "x": 0, "y": 0, "w": 80, "h": 5, "text": "total {sum(amount)}"}]})";

} // namespace

// Each row: the columns, bands after the detail, groups, the labels (rows per customer; one row may get a
// longer note: three lines make its label 20 mm high) and where they landed; with the page totals and page
// X of Y of each page where they are the point.
TEST(Columns, WhereTheLabelsLand) {
    std::string thirtyLines; // 30 words of 10 characters
    for (int i = 0; i < 30; ++i)
        thirtyLines += (i ? " " : "") + std::string(10, char('a' + i % 26));
    const struct {
        const char* name;
        std::string columns, bands, groups;
        std::vector<std::pair<std::string, int>> customers;
        std::pair<int, std::string> note; // a row (from 1) and its note; 0: none
        std::string grid, footers;
    } cases[] = {
        // clang-format off
        // Six lines of three per page: 18 labels, the last page keeps the two left places of its line.
        {"across", kAcross, "", "[]", {{"Acme", 20}}, {},
         "page 1 / 20: 1 2 3 / 30: 4 5 6 / 40: 7 8 9 / 50: 10 11 12 / 60: 13 14 15 / 70: 16 17 18\n"
         "page 2 / 20: 19 20 .\n", "n=18 sum=171 1/2; n=2 sum=39 2/2"},
        {"across, a partly filled line", kAcross, "", "[]", {{"Acme", 7}}, {},
         "page 1 / 20: 1 2 3 / 30: 4 5 6 / 40: 7 . .\n", ""},
        {"across with footer", kAcross, kReportFooter, "[]", {{"Acme", 7}}, {},
         "page 1 / 20: 1 2 3 / 30: 4 5 6 / 40: 7 . . / 50: [total 28 x=10]\n", ""},
        // Down with nothing after: column one first, and a last page that is not balanced (the sheet
        // keeps whole columns free).
        {"down", kDown, "", "[]", {{"Acme", 7}}, {},
         "page 1 / 20: 1 7 . / 30: 2 . . / 40: 3 . . / 50: 4 . . / 60: 5 . . / 70: 6 . .\n", ""},
        {"down, two pages", kDown, "", "[]", {{"Acme", 20}}, {},
         "page 1 / 20: 1 7 13 / 30: 2 8 14 / 40: 3 9 15 / 50: 4 10 16 / 60: 5 11 17 / 70: 6 12 18\n"
         "page 2 / 20: 19 . . / 30: 20 . .\n", ""},
        // Down with a footer below: ceil(7 / 3) = 3 labels per column, the footer under the deepest.
        {"down with footer", kDown, kReportFooter, "[]", {{"Acme", 7}}, {},
         "page 1 / 20: 1 4 7 / 30: 2 5 . / 40: 3 6 . / 50: [total 28 x=10]\n", ""},
        {"down with footer, columns even", kDown, kReportFooter, "[]", {{"Acme", 6}}, {},
         "page 1 / 20: 1 3 5 / 30: 2 4 6 / 40: [total 21 x=10]\n", ""},
        {"down, one label", kDown, kReportFooter, "[]", {{"Acme", 1}}, {},
         "page 1 / 20: 1 . . / 30: [total 1 x=10]\n", ""},
        {"down, a full page and one", kDown, kReportFooter, "[]", {{"Acme", 19}}, {},
         "page 1 / 20: 1 7 13 / 30: 2 8 14 / 40: 3 9 15 / 50: 4 10 16 / 60: 5 11 17 / 70: 6 12 18\n"
         "page 2 / 20: 19 . . / 30: [total 190 x=10]\n", ""},
        // Line 6 (rows 16-18) with a 20 mm label would end at 90, past the footer at 85: the whole line
        // moves, and counts on page 2 (16+17+18 = 51).
        {"a line never splits", kAcross, "", "[]", {{"Acme", 18}}, {17, kThreeLines},
         "page 1 / 20: 1 2 3 / 30: 4 5 6 / 40: 7 8 9 / 50: 10 11 12 / 60: 13 14 15\n"
         "page 2 / 20: 16 17 18\n", "n=15 sum=120 1/2; n=3 sum=51 2/2"},
        // Label 5 is 20 mm high: after four labels (y=60) it ends at 80, inside the 85 mm limit; label 6
        // would then end at 90, so column two begins with it.
        {"down, a tall label", kDown, "", "[]", {{"Acme", 8}}, {5, kThreeLines},
         "page 1 / 20: 1 6 . / 30: 2 7 . / 40: 3 8 . / 50: 4 . . / 60: 5 . .\n", ""},
        // Group bands stay full width and start a new line.
        {"groups", kAcross, "", kGroup, {{"Acme", 4}, {"Beta", 2}}, {},
         "page 1 / 20: [H Acme x=10] / 25: 1 2 3 / 35: 4 . . / 45: [F Acme 4 x=10] / "
         "50: [H Beta x=10] / 55: 5 6 . / 65: [F Beta 2 x=10]\n", ""},
        // Header at 20, then six lines from 25 to 85: 18 labels on page 1; the 19th opens page 2 under the
        // repeated header.
        {"a group goes on on the next page", kAcross, "", kGroup, {{"Acme", 19}}, {},
         "page 1 / 20: [H Acme x=10] / 25: 1 2 3 / 35: 4 5 6 / 45: 7 8 9 / 55: 10 11 12 / 65: 13 14 15 / "
         "75: 16 17 18\n"
         "page 2 / 20: [H Acme x=10] / 25: 19 . . / 35: [F Acme 19 x=10]\n", ""},
        // Acme: ceil(5 / 3) = 2 labels per column before its footer; Beta: one per column.
        {"down columns balanced before a group footer", kDown, "", kGroup, {{"Acme", 5}, {"Beta", 2}}, {},
         "page 1 / 20: [H Acme x=10] / 25: 1 3 5 / 35: 2 4 . / 45: [F Acme 5 x=10] / "
         "50: [H Beta x=10] / 55: 6 7 . / 65: [F Beta 2 x=10]\n", ""},
        // 30 lines = 150 mm of note: more than an empty page holds, so the line is cut like a row. Row 4 opens
        // page 2; each page holds 65 mm: the 5 mm top cell and 12 note lines, then 13 lines, then the last 5.
        {"a label taller than a page", kAcross, "", "[]", {{"Acme", 4}}, {4, thirtyLines},
         "page 1 / 20: 1 2 3\n"
         "page 2 / 20: 4 . .\n"
         "page 3\n"
         "page 4\n", ""},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReportData d = rows(c.customers);
        if (c.note.first) d.rows[size_t(c.note.first - 1)][3] = ScalarValue::fromText(c.note.second);
        LaidOutReport r = LayOut(LoadTemplateText(sheet(c.columns, c.bands, c.groups)), d);
        EXPECT_EQ(grid(r), c.grid);
        ExpectBodyAbove(r, 85);
        if (c.footers.empty()) continue;
        std::string footers; // "n=.. sum=.. X/Y" a page, "; " between pages
        for (const Page& p : r.pages)
            for (const auto& it : p.items)
                if (it.y >= 85)
                    footers += (it.x >= 50 ? " " : footers.empty() ? "" : "; ") + std::string(p.textOf(it));
        EXPECT_EQ(footers, c.footers);
    }
}

// The frames of a line's other labels grow with its tallest, so the line stays even; a cell not at the
// band's bottom keeps its size.
TEST(Columns, CanGrowLabelMakesItsWholeLineTaller) {
    Template t = LoadTemplateText(sheet(kAcross));
    ReportData d = rows({{"Acme", 9}});
    d.rows[4][3] = ScalarValue::fromText(kThreeLines);
    LaidOutReport r = LayOut(t, d);
    EXPECT_EQ(grid(r), "page 1 / 20: 1 2 3 / 30: 4 5 6 / 50: 7 8 9\n");
    const Page& p = r.pages[0];
    int frames = 0;
    for (const auto& it : p.items) {
        if (it.kind == ItemKind::Rect && it.y == 30.f) {
            EXPECT_FLOAT_EQ(it.h, 20.f) << "x=" << it.x;
            ++frames;
        }
        if (p.textOf(it) == "#4") {
            EXPECT_FLOAT_EQ(it.h, 5.f);
        }
    }
    EXPECT_EQ(frames, 3);
}

TEST(Columns, ManyRowsStayLinearAndCompact) {
    for (const std::string& columns : {kAcross, kDown}) {
        Template t = LoadTemplateText(sheet(columns, kReportFooter, kGroup));
        ReportData d = rows({{"A", 10000}, {"B", 10000}, {"C", 12767}});
        LaidOutReport r = LayOut(t, d);
        size_t items = 0;
        int labels = 0;
        for (const Page& p : r.pages) {
            items += p.items.size();
            for (const auto& it : p.items)
                if (it.kind == ItemKind::Text && p.textOf(it).rfind("#", 0) == 0) ++labels;
        }
        EXPECT_EQ(labels, 32767) << columns; // every row printed exactly once
        EXPECT_LT(r.pages.size(), 32767u / 15 + 10) << columns;
        EXPECT_LT(items, 32767u * 3 + r.pages.size() * 8) << columns;
    }
}
