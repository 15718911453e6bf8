#include "agent/reports/model/TemplateFile.h"

#include <gtest/gtest.h>

using namespace verolux::reports;

namespace {

#define HEAD R"("format": "verolux-report", "version": 1, )"

// Each broken file fails with the exact reason LoadTemplate reports.
TEST(TemplateFile, BrokenFilesFailWithTheReason) {
    const auto item = [](const char* keys) {
        return "{" HEAD R"("bands": {"detail": {"height": 5, "items": [{)" + std::string(keys) + "}]}}}";
    };
    const auto columns = [](const char* value) {
        return "{" HEAD R"("bands": {"detail": {"height": 5, "columns": )" + std::string(value) + "}}}";
    };
    const struct {
        std::string json;
        const char* error;
    } rows[] = {
        {"", "the file is empty"},
        {"  \n ", "the file is empty"},
        {"{\"format\": \"verolux-report\",\n  \"version\": 1,,}",
         "not valid JSON: line 2, column 16: member name expected"},
        {"{\"format\": \"verolux-rep", "not valid JSON: line 1, column 24: string not closed"},
        {"{} x", "not valid JSON: line 1, column 4: unexpected text after the end of the document"},
        {"[1, 2]", "the template must be a JSON object"},
        {R"({"version": 1, "bands": {}})", "missing key \"format\" (not a Verolux report template)"},
        {R"({"format": "other", "version": 1, "bands": {}})",
         "format: not a Verolux report template (expected \"verolux-report\")"},
        {R"({"format": "verolux-report", "bands": {}})", "missing key \"version\""},
        {R"({"format": "verolux-report", "version": 2, "bands": {}})",
         "version: unsupported template version 2 (this engine reads version 1)"},
        {"{" HEAD R"("title": "x"})", "missing key \"bands\""},
        {"{" HEAD R"("bands": {"detail": {"items": []}}})", "bands.detail: missing key \"height\""},
        {item(R"("type": "text", "x": 1, "w": 1, "h": 1)"), "bands.detail.items[0]: missing key \"y\""},
        {item(R"("type": "circle", "x": 1, "y": 1, "w": 1, "h": 1)"),
         "bands.detail.items[0].type: unknown item type \"circle\" (text, line, rect, image or barcode)"},
        {"{" HEAD R"("bands": {"detail": {"height": "5"}}})", "bands.detail.height: expected a number"},
        {"{" HEAD R"("bands": {"detail": {"height": -5}}})", "bands.detail.height: value out of range"},
        {item(R"("type": "text", "x": 1, "y": 1, "w": 1, "h": 1, "style": "big")"),
         "bands.detail.items[0].style: unknown style \"big\""},
        {item(R"("type": "image", "x": 1, "y": 1, "w": 1, "h": 1, "data": "***")"),
         "bands.detail.items[0].data: not valid Base64"},
        {"{" HEAD R"("styles": {"a": {"color": "red"}}, "bands": {}})",
         "styles.a.color: bad colour \"red\" (use #RRGGBB or #AARRGGBB)"},
        {"{" HEAD R"("styles": {"a": {"base": "b"}}, "bands": {}})", "styles.a.base: unknown style \"b\""},
        {"{" HEAD R"("styles": {"a": {"base": "b"}, "b": {"base": "a"}}, "bands": {}})",
         "styles.a.base: the base styles build on each other in a circle"},
        {"{" HEAD R"("page": {"paper": "A7"}, "bands": {}})",
         "page.paper: unknown paper \"A7\" (A3, A4, A5, B5, Letter, Legal or Custom)"},
        {"{" HEAD R"("page": {"paper": "Custom", "width": 50}, "bands": {}})",
         "page: a Custom paper needs \"width\" and \"height\""},
        {"{" HEAD R"("page": {"margins": {"left": 150, "right": 150}}, "bands": {}})",
         "page: margins leave no room on the page"},
        // A4 less the 15 mm margins leaves 267 mm: bands that fill them exactly leave no room either.
        {"{" HEAD
         R"("bands": {"pageHeader": {"height": 200}, "columnHeader": {"height": 7}, "pageFooter": {"height": 60}}})",
         "bands: page header, column header and page footer leave no room for rows"},
        {"{" HEAD R"("fields": [{"type": "text"}], "bands": {}})", "fields[0]: missing key \"name\""},
        {"{" HEAD R"("fields": [{"name": "a"}, {"name": "a"}], "bands": {}})",
         "fields[1].name: \"a\" declared twice"},
        {"{" HEAD R"("fields": [{"name": "a", "type": "money"}], "bands": {}})",
         "fields[0].type: unknown type \"money\" (text, integer, decimal, currency, boolean or datetime)"},
        {"{" HEAD R"("bands": {}, "groups": [{"name": "g"}]})", "groups[0]: missing key \"by\""},
        {columns(R"({"count": 0})"), "bands.detail.columns.count: value out of range"},
        {columns(R"({"count": 2.5})"), "bands.detail.columns.count: expected a whole number"},
        {columns(R"({"count": 2, "order": "diagonal"})"),
         "bands.detail.columns.order: expected \"across\" or \"down\""},
        // A4 with the default 15 mm margins: 180 mm between them; 3 × 60 + 2 × 1 = 182.
        {columns(R"({"count": 3, "width": 60, "spacing": 1})"),
         "bands.detail.columns: the columns do not fit between the margins (180 mm)"},
        {columns(R"({"count": 3, "spacing": 90})"),
         "bands.detail.columns: the columns do not fit between the margins (180 mm)"},
        {columns("3"), "bands.detail.columns: expected an object"},
    };
    for (const auto& r : rows) {
        const auto parsed = ParseTemplate(r.json);
        EXPECT_FALSE(parsed) << r.json;
        EXPECT_EQ(parsed.error, r.error) << r.json;
    }
}

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
