// A template loaded and saved must say the same thing as the file it came from: the same JSON values
// with the keys in the same order (unknown keys included), and the same pages. Checked on the sample
// templates and on a few hundred generated ones written the way people write them by hand.
#include "tests/reports/engine/RoundTripHelpers.h"

#include "agent/reports/model/TemplateFile.h"

#include "common/TextFile.h"

#include <gtest/gtest.h>

using namespace verolux;
using namespace verolux::reports;
using namespace verolux::reports::roundtrip;

namespace {

// Loads `json`, saves it, and checks the saved file against it; returns the saved file.
std::string expectRoundTrip(const std::string& json, const std::string& name) {
    auto first = ParseTemplate(json);
    EXPECT_TRUE(first) << name << ": " << first.error << "\n" << json;
    if (!first) return "";
    const std::string saved = WriteTemplate(*first.tmpl);
    EXPECT_EQ(jsonValue(saved), jsonValue(json)) << name;
    auto second = ParseTemplate(saved);
    EXPECT_TRUE(second) << name << ": " << second.error;
    if (!second) return saved;
    EXPECT_EQ(WriteTemplate(*second.tmpl), saved) << name << ": saving again changes the file";
    const ReportData d = sampleRows(*first.tmpl, 40);
    EXPECT_EQ(dumpPages(*first.tmpl, d), dumpPages(*second.tmpl, d)) << name;
    return saved;
}

std::string sample(const char* name) {
    return verolux::ReadWholeFile(std::string(VEROLUX_SOURCE_DIR) + "/demo/templates/" + name);
}

// The samples, saved, say what the files as written by hand say: no key lost, none added, same pages.
TEST(TemplateRoundTrip, SampleTemplatesKeepValuesAndPages) {
    for (const char* name : {"orders.grf", "invoice.grf", "labels.grf"})
        expectRoundTrip(sample(name), name);
    const Template t = LoadTemplateText(sample("orders.grf"));
    EXPECT_EQ(t.title, "订单明细表");
    EXPECT_EQ(t.fields.size(), 7u);
    EXPECT_EQ(t.parameters.size(), 2u);
    ASSERT_EQ(t.groups.size(), 1u);
    EXPECT_EQ(t.groups[0].fields, std::vector<std::string>{"customer"});
    const TextStyle& money = t.styles[size_t(t.findStyle("totalMoney"))]; // base "total"
    EXPECT_TRUE(money.bold);
    EXPECT_EQ(money.borders.width, 0.4);
}

// Saving after an edit gives the file as it was with only the edited text changed; a new key goes where
// the writer's own order puts it among the keys the file has.
TEST(TemplateRoundTrip, AnEditChangesOnlyItsText) {
    const std::string file = sample("orders.grf");
    struct Case {
        const char* name;
        void (*edit)(Template&);
        const char *before, *after;
    } cases[] = {
        {"move an item",
         [](Template& t) { t.pageFooter.items[1].x = 0.1 + 0.2; }, // written 0.3, not 0.30000000000000004
         R"({"type": "text", "x": 0, "y": 2, "w": 95, "h": 5, "style": "small", "text": "本页金额)",
         R"({"type": "text", "x": 0.3, "y": 2, "w": 95, "h": 5, "style": "small", "text": "本页金额)"},
        {"a value changes in place", [](Template& t) { t.page.landscape = true; },
         R"("orientation": "portrait")", R"("orientation": "landscape")"},
        {"a key new to its object goes to its place",
         [](Template& t) {
             TextStyle& s = t.styles[size_t(t.findStyle("title"))];
             s.italic = true;
             s.own |= kStyleItalic;
         },
         R"("title": {"size": 16, "bold": true, "align")",
         R"("title": {"size": 16, "bold": true, "italic": true, "align")"},
        {"a new item",
         [](Template& t) {
             Item line;
             line.kind = ItemKind::Line;
             line.w = 190;
             t.columnHeader.items.push_back(line);
         },
         R"("text": "金额"})",
         R"("text": "金额"},)"
         "\n      "
         R"({"type": "line", "x": 0, "y": 0, "w": 190, "h": 0})"},
    };
    for (const auto& c : cases) {
        Template t = LoadTemplateText(file);
        c.edit(t);
        std::string expected = file;
        const size_t at = expected.find(c.before);
        ASSERT_TRUE(at != std::string::npos && at == expected.rfind(c.before)) << c.name;
        expected.replace(at, std::string_view(c.before).size(), c.after);
        EXPECT_EQ(WriteTemplate(t), expected) << c.name;
    }
}

// A style keeps what it sets itself and takes the rest from its base again once the base changes.
TEST(TemplateRoundTrip, StylesFollowTheirBase) {
    Template t = LoadTemplateText(R"({"format": "verolux-report", "version": 1, "bands": {},
        "styles": {"money": {"base": "cell", "align": "right"}, "cell": {"size": 9, "borders": "all"}}})");
    TextStyle& cell = t.styles[size_t(t.findStyle("cell"))];
    EXPECT_EQ(t.styles[size_t(t.findStyle("money"))].fontSize, 9); // a base may come later in the file
    cell.fontSize = 12;
    cell.hAlign = HAlign::Center;
    EXPECT_EQ(ResolveStyles(t), -1);
    const TextStyle& money = t.styles[size_t(t.findStyle("money"))];
    EXPECT_EQ(money.fontSize, 12);
    EXPECT_EQ(money.hAlign, HAlign::Right);
    EXPECT_TRUE(money.borders.bottom);
    EXPECT_NE(WriteTemplate(t).find(R"("money": {"base": "cell", "align": "right"})"), std::string::npos);
    t.styles[size_t(t.findStyle("cell"))].base = "money";
    EXPECT_EQ(ResolveStyles(t), t.findStyle("money")); // the first style found in a circle
}

TEST(TemplateRoundTrip, GeneratedTemplatesKeepValuesKeysAndPages) {
    TemplateGenerator gen(20240611);
    for (int i = 0; i < 300 && !HasFailure(); ++i)
        expectRoundTrip(gen.make(), "template " + std::to_string(i));
}

// A template made in code has no file keys: every value that differs from what a reader assumes is
// written, at every level.
TEST(TemplateRoundTrip, ValuesSetInCodeAreWritten) {
    Template t;
    t.page.marginLeft = 20;
    t.page.landscape = true;
    TextStyle cell = t.styles[0];
    cell.name = "cell";
    cell.borders.left = true;
    cell.padding = 1;
    t.styles.push_back(cell);
    t.detail.present = true;
    t.detail.height = 30;
    t.detail.columns = Columns{2, 0, 4, true};
    Item text;
    text.style = 1;
    text.text = "{a}";
    t.detail.items.push_back(text);
    t.fields.push_back(Declared{"a", "integer", "0.0", "", {}});
    Group g;
    g.name = "by a";
    g.fields = {"a"};
    g.repeatHeader = false;
    g.footer.present = true;
    g.footer.height = 5;
    t.groups.push_back(g);
    const std::string written = WriteTemplate(t);
    expectRoundTrip(written, "made in code");
    EXPECT_EQ(jsonValue(written), jsonValue(R"({"format": "verolux-report", "version": 1,
        "page": {"orientation": "landscape", "margins": {"left": 20}},
        "styles": {"cell": {"padding": 1, "borders": {"left": true}}},
        "fields": [{"name": "a", "type": "integer", "format": "0.0"}],
        "bands": {"detail": {"height": 30, "columns": {"count": 2, "spacing": 4, "order": "down"},
            "items": [{"type": "text", "x": 0, "y": 0, "w": 0, "h": 0, "style": "cell", "text": "{a}"}]}},
        "groups": [{"name": "by a", "by": ["a"], "repeatHeader": false, "footer": {"height": 5}}]})"));
}

} // namespace
