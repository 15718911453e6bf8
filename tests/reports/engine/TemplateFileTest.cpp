#include "agent/reports/model/TemplateFile.h"

#include <gtest/gtest.h>

using namespace verolux::reports;

namespace {

struct BrokenCase {
    const char* name;
    const char* json;
    const char* error; // the exact reason LoadTemplate reports
};

class BrokenTemplate : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenTemplate, FailsWithReason) {
    auto r = ParseTemplate(GetParam().json);
    EXPECT_FALSE(r);
    EXPECT_EQ(r.error, GetParam().error);
}

#define HEAD R"("format": "verolux-report", "version": 1, )"

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenTemplate,
    ::testing::Values(
        BrokenCase{"emptyFile", "", "the file is empty"},
        BrokenCase{"blanksOnly", "  \n ", "the file is empty"},
        BrokenCase{"badJsonPointsAtPlace", "{\"format\": \"verolux-report\",\n  \"version\": 1,,}",
                   "not valid JSON: line 2, column 16: member name expected"},
        BrokenCase{"unclosedString", "{\"format\": \"verolux-rep",
                   "not valid JSON: line 1, column 24: string not closed"},
        BrokenCase{"trailingText", "{} x",
                   "not valid JSON: line 1, column 4: unexpected text after the end of the document"},
        BrokenCase{"notAnObject", "[1, 2]", "the template must be a JSON object"},
        BrokenCase{"missingFormat", R"({"version": 1, "bands": {}})",
                   "missing key \"format\" (not a Verolux report template)"},
        BrokenCase{"otherFormat", R"({"format": "other", "version": 1, "bands": {}})",
                   "format: not a Verolux report template (expected \"verolux-report\")"},
        BrokenCase{"missingVersion", R"({"format": "verolux-report", "bands": {}})",
                   "missing key \"version\""},
        BrokenCase{"unknownVersion", R"({"format": "verolux-report", "version": 2, "bands": {}})",
                   "version: unsupported template version 2 (this engine reads version 1)"},
        BrokenCase{"missingBands", "{" HEAD R"("title": "x"})", "missing key \"bands\""},
        BrokenCase{"bandWithoutHeight", "{" HEAD R"("bands": {"detail": {"items": []}}})",
                   "bands.detail: missing key \"height\""},
        BrokenCase{
            "itemWithoutY",
            "{" HEAD
            R"("bands": {"detail": {"height": 5, "items": [{"type": "text", "x": 1, "w": 1, "h": 1}]}}})",
            "bands.detail.items[0]: missing key \"y\""},
        BrokenCase{
            "itemBadType",
            "{" HEAD
            R"("bands": {"detail": {"height": 5, "items": [{"type": "circle", "x": 1, "y": 1, "w": 1, "h": 1}]}}})",
            "bands.detail.items[0].type: unknown item type \"circle\" (text, line, rect, image or barcode)"},
        BrokenCase{"numberAsText", "{" HEAD R"("bands": {"detail": {"height": "5"}}})",
                   "bands.detail.height: expected a number"},
        BrokenCase{"negativeHeight", "{" HEAD R"("bands": {"detail": {"height": -5}}})",
                   "bands.detail.height: value out of range"},
        BrokenCase{
            "unknownStyle",
            "{" HEAD
            R"("bands": {"detail": {"height": 5, "items": [{"type": "text", "x": 1, "y": 1, "w": 1, "h": 1, "style": "big"}]}}})",
            "bands.detail.items[0].style: unknown style \"big\""},
        BrokenCase{"badColour", "{" HEAD R"("styles": {"a": {"color": "red"}}, "bands": {}})",
                   "styles.a.color: bad colour \"red\" (use #RRGGBB or #AARRGGBB)"},
        BrokenCase{"unknownBase", "{" HEAD R"("styles": {"a": {"base": "b"}}, "bands": {}})",
                   "styles.a.base: unknown style \"b\""},
        BrokenCase{"baseCircle",
                   "{" HEAD R"("styles": {"a": {"base": "b"}, "b": {"base": "a"}}, "bands": {}})",
                   "styles.a.base: the base styles build on each other in a circle"},
        BrokenCase{"unknownPaper", "{" HEAD R"("page": {"paper": "A7"}, "bands": {}})",
                   "page.paper: unknown paper \"A7\" (A3, A4, A5, B5, Letter, Legal or Custom)"},
        BrokenCase{"customPaperWithoutSize",
                   "{" HEAD R"("page": {"paper": "Custom", "width": 50}, "bands": {}})",
                   "page: a Custom paper needs \"width\" and \"height\""},
        BrokenCase{"marginsEatThePage",
                   "{" HEAD R"("page": {"margins": {"left": 150, "right": 150}}, "bands": {}})",
                   "page: margins leave no room on the page"},
        // A4 less the 15 mm margins leaves 267 mm: bands that fill them exactly leave no room either.
        BrokenCase{
            "fixedBandsFillThePage",
            "{" HEAD
            R"("bands": {"pageHeader": {"height": 200}, "columnHeader": {"height": 7}, "pageFooter": {"height": 60}}})",
            "bands: page header, column header and page footer leave no room for rows"},
        BrokenCase{"fieldWithoutName", "{" HEAD R"("fields": [{"type": "text"}], "bands": {}})",
                   "fields[0]: missing key \"name\""},
        BrokenCase{"fieldTwice", "{" HEAD R"("fields": [{"name": "a"}, {"name": "a"}], "bands": {}})",
                   "fields[1].name: \"a\" declared twice"},
        BrokenCase{
            "unknownFieldType", "{" HEAD R"("fields": [{"name": "a", "type": "money"}], "bands": {}})",
            "fields[0].type: unknown type \"money\" (text, integer, decimal, currency, boolean or datetime)"},
        BrokenCase{"groupWithoutBy", "{" HEAD R"("bands": {}, "groups": [{"name": "g"}]})",
                   "groups[0]: missing key \"by\""},
        BrokenCase{"columnsZero", "{" HEAD R"("bands": {"detail": {"height": 5, "columns": {"count": 0}}}})",
                   "bands.detail.columns.count: value out of range"},
        BrokenCase{"columnsHalf",
                   "{" HEAD R"("bands": {"detail": {"height": 5, "columns": {"count": 2.5}}}})",
                   "bands.detail.columns.count: expected a whole number"},
        BrokenCase{"columnsOrder",
                   "{" HEAD
                   R"("bands": {"detail": {"height": 5, "columns": {"count": 2, "order": "diagonal"}}}})",
                   "bands.detail.columns.order: expected \"across\" or \"down\""},
        // A4 with the default 15 mm margins: 180 mm between them; 3 × 60 + 2 × 1 = 182.
        BrokenCase{
            "columnsTooWide",
            "{" HEAD
            R"("bands": {"detail": {"height": 5, "columns": {"count": 3, "width": 60, "spacing": 1}}}})",
            "bands.detail.columns: the columns do not fit between the margins (180 mm)"},
        BrokenCase{"columnsSpacingEatsWidth",
                   "{" HEAD R"("bands": {"detail": {"height": 5, "columns": {"count": 3, "spacing": 90}}}})",
                   "bands.detail.columns: the columns do not fit between the margins (180 mm)"},
        BrokenCase{"columnsNotObject", "{" HEAD R"("bands": {"detail": {"height": 5, "columns": 3}}})",
                   "bands.detail.columns: expected an object"},
        BrokenCase{
            "imageNotBase64",
            "{" HEAD
            R"("bands": {"detail": {"height": 5, "items": [{"type": "image", "x": 1, "y": 1, "w": 1, "h": 1, "data": "***"}]}}})",
            "bands.detail.items[0].data: not valid Base64"}),
    [](const auto& row) { return std::string(row.param.name); });

// Detail columns as read and the width of one (saving them is part of the generated round trip).
TEST(TemplateFile, DetailColumnsAndTheirWidth) {
    struct Case {
        const char* name;
        const char* columns;
        Columns expected;
        double width; // ColumnWidth on A4 with 15 mm margins (180 mm between them)
    } cases[] = {
        {"defaults: one column", R"({})", Columns{}, 180},
        {"shared out", R"({"count": 3, "spacing": 3})", Columns{3, 0, 3, false}, 58},
        {"fixed width, down", R"({"count": 2, "width": 70, "spacing": 5, "order": "down"})",
         Columns{2, 70, 5, true}, 70},
        {"exactly the room", R"({"count": 4, "width": 45})", Columns{4, 45, 0, false}, 45},
    };
    for (const auto& c : cases) {
        std::string json =
            std::string("{" HEAD R"("bands": {"detail": {"height": 5, "columns": )") + c.columns + "}}}";
        auto r = ParseTemplate(json);
        ASSERT_TRUE(r) << c.name << ": " << r.error;
        EXPECT_EQ(r.tmpl->detail.columns, c.expected) << c.name;
        EXPECT_DOUBLE_EQ(ColumnWidth(r.tmpl->detail.columns, r.tmpl->page), c.width) << c.name;
    }
}

// Arrays and objects may nest kMaxTemplateNesting deep (counting the template's own braces); one more
// fails, saying where.
TEST(TemplateFile, NestingIsBoundedAndTheErrorSaysWhere) {
    const std::string head = "{" HEAD R"("bands": {}, "x": )";
    auto nested = [&](int arrays) {
        return head + std::string(size_t(arrays), '[') + std::string(size_t(arrays), ']') + "}";
    };
    EXPECT_TRUE(ParseTemplate(nested(kMaxTemplateNesting - 1)));
    EXPECT_EQ(ParseTemplate(nested(kMaxTemplateNesting)).error,
              "line 1, column " + std::to_string(head.size() + kMaxTemplateNesting) +
                  ": nested deeper than 64 levels");
}

// Styles that build on each other are resolved in one pass, whatever the order of the file: here each
// of 80,000 styles builds on the one after it.
TEST(TemplateFile, LongStyleChainsLoadInOnePass) {
    std::string json = "{" HEAD R"("bands": {}, "styles": {)";
    const int n = 80000;
    for (int i = n - 1; i > 0; --i)
        json += "\"s" + std::to_string(i) + "\": {\"base\": \"s" + std::to_string(i - 1) + "\"}, ";
    json += R"("s0": {"size": 7, "bold": true}}})";
    auto r = ParseTemplate(json);
    ASSERT_TRUE(r) << r.error;
    const TextStyle& last = r.tmpl->styles[size_t(r.tmpl->findStyle("s79999"))];
    EXPECT_EQ(last.fontSize, 7);
    EXPECT_TRUE(last.bold);
}

} // namespace
