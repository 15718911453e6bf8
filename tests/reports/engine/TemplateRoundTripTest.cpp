// A template loaded and saved must say the same thing as the file it came from: the same JSON values
// with the keys in the same order (unknown keys included), and the same pages. Checked on the sample
// templates and on a few hundred generated ones written the way people write them by hand.
#include "tests/reports/engine/PaginationHelpers.h"

#include "agent/reports/model/TemplateFile.h"

#include "common/TextFile.h"

#include <gtest/gtest.h>
#include <simdjson.h>

#include <random>
#include <sstream>

using namespace verolux;
using namespace verolux::reports;

namespace {

// The JSON value of a text, without blanks and with the keys in their order: a key lost, added or moved,
// or a value spelled otherwise than in the file, shows here.
std::string jsonValue(const std::string& text) {
    simdjson::dom::parser parser;
    simdjson::padded_string padded(text);
    return simdjson::minify(parser.parse(padded).value());
}

// Everything a page shows: each item's place, its text and the style values it is drawn with.
std::string dumpPages(const Template& t, const ReportData& d) {
    LaidOutReport r = LayOut(t, d);
    std::ostringstream out;
    for (size_t n = 0; n < r.pages.size(); ++n) {
        const Page& p = r.pages[n];
        out << "page " << n + 1 << "\n";
        for (const PageItem& it : p.items) {
            const TextStyle& s = t.styles[size_t(it.style)];
            out << int(it.kind) << " " << it.x << "," << it.y << " " << it.w << "x" << it.h << " ["
                << p.textOf(it) << "] " << s.fontFamily << " " << s.fontSize << s.bold << s.italic
                << s.underline << " " << s.color << " " << s.background << " " << int(s.hAlign)
                << int(s.vAlign) << s.wordWrap << s.canGrow << " " << s.padding << " " << s.format << " "
                << s.borders.left << s.borders.top << s.borders.right << s.borders.bottom << " "
                << s.borders.width << " " << s.borders.color << "\n";
        }
    }
    return out.str();
}

ReportData sampleRows(const Template& t, int count) {
    ReportData d;
    for (const auto& p : t.parameters)
        d.parameters.push_back(ScalarValue::fromText(p.name + " value"));
    for (int i = 0; i < count; ++i) {
        std::vector<ScalarValue> row;
        for (size_t f = 0; f < t.fields.size(); ++f)
            row.push_back(
                f % 2 ? ScalarValue::fromNumber(std::to_string(i * 7 % 23))
                      : ScalarValue::fromText("g" + std::to_string(i / 6) + " word " + std::to_string(i)));
        d.rows.push_back(std::move(row));
    }
    return d;
}

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

TEST(TemplateFile, OrdersSampleLoadsAndRoundTrips) {
    auto r = ParseTemplate(sample("orders.grf"));
    ASSERT_TRUE(r) << r.error;
    const Template& t = *r.tmpl;
    EXPECT_EQ(t.title, "订单明细表");
    EXPECT_EQ(t.fields.size(), 7u);
    EXPECT_EQ(t.parameters.size(), 2u);
    ASSERT_EQ(t.groups.size(), 1u);
    EXPECT_EQ(t.groups[0].fields, std::vector<std::string>{"customer"});
    const TextStyle& money = t.styles[size_t(t.findStyle("totalMoney"))]; // base "total"
    EXPECT_TRUE(money.bold);
    EXPECT_EQ(money.borders.width, 0.4);
    // Saved, it says what the file as written by hand says: no key lost, none added, same pages.
    expectRoundTrip(sample("orders.grf"), "orders.grf");
}

TEST(TemplateRoundTrip, SampleTemplatesKeepValuesAndPages) {
    for (const char* name : {"invoice.grf", "labels.grf"})
        expectRoundTrip(sample(name), name);
}

// The lines of `after` that are not in `before`, and the other way round, in order ("-old", "+new").
std::vector<std::string> changedLines(const std::string& before, const std::string& after) {
    auto lines = [](const std::string& s) {
        std::vector<std::string> v;
        std::istringstream in(s);
        for (std::string l; std::getline(in, l);)
            v.push_back(l);
        return v;
    };
    auto a = lines(before), b = lines(after);
    size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head])
        ++head;
    size_t tail = 0;
    while (tail + head < a.size() && tail + head < b.size() &&
           a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;
    std::vector<std::string> out;
    for (size_t i = head; i + tail < a.size(); ++i)
        out.push_back("-" + a[i]);
    for (size_t i = head; i + tail < b.size(); ++i)
        out.push_back("+" + b[i]);
    return out;
}

// Saving after an edit changes only the lines of what was edited; a new key goes where the writer's own
// order puts it among the keys the file has.
TEST(TemplateRoundTrip, AnEditChangesOnlyItsLines) {
    const std::string file = sample("orders.grf");
    struct Case {
        const char* name;
        void (*edit)(Template&);
        std::vector<std::string> lines;
    } cases[] = {
        {"move an item",
         [](Template& t) { t.pageFooter.items[1].x = 0.1 + 0.2; }, // written 0.3, not 0.30000000000000004
         {R"(-      {"type": "text", "x": 0, "y": 2, "w": 95, "h": 5, "style": "small", "text": "本页金额：{sum(amount, page)|#,##0.00}"},)",
          R"(+      {"type": "text", "x": 0.3, "y": 2, "w": 95, "h": 5, "style": "small", "text": "本页金额：{sum(amount, page)|#,##0.00}"},)"}},
        {"a value changes in place",
         [](Template& t) { t.page.landscape = true; },
         {R"(-  "page": {"paper": "A4", "orientation": "portrait", "margins": {"left": 10, "top": 10, "right": 10, "bottom": 10}},)",
          R"(+  "page": {"paper": "A4", "orientation": "landscape", "margins": {"left": 10, "top": 10, "right": 10, "bottom": 10}},)"}},
        {"a key new to its object goes to its place",
         [](Template& t) {
             TextStyle& s = t.styles[size_t(t.findStyle("title"))];
             s.italic = true;
             s.own |= kStyleItalic;
         },
         {R"(-    "title": {"size": 16, "bold": true, "align": "center"},)",
          R"(+    "title": {"size": 16, "bold": true, "italic": true, "align": "center"},)"}},
        {"a new item",
         [](Template& t) {
             Item line;
             line.kind = ItemKind::Line;
             line.w = 190;
             t.columnHeader.items.push_back(line);
         },
         {R"(-      {"type": "text", "x": 164, "y": 0, "w": 26, "h": 7, "style": "head", "text": "金额"})",
          R"(+      {"type": "text", "x": 164, "y": 0, "w": 26, "h": 7, "style": "head", "text": "金额"},)",
          R"(+      {"type": "line", "x": 0, "y": 0, "w": 190, "h": 0})"}},
    };
    for (const auto& c : cases) {
        Template t = LoadTemplateText(file);
        c.edit(t);
        EXPECT_EQ(changedLines(file, WriteTemplate(t)), c.lines) << c.name;
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

// Hand-written templates in all their variety: keys in any order, unknown keys at every level, colours in
// lower case, borders as words, numbers written 10.0, styles building on styles defined later.
class TemplateGenerator {
  public:
    explicit TemplateGenerator(unsigned seed) : m_rng(seed) {}

    std::string make() {
        m_styles.clear();
        Members root;
        root.push_back({"format", "\"verolux-report\""});
        root.push_back({"version", pick({"1", "1.0"})});
        if (chance(50)) root.push_back({"title", "\"T" + std::to_string(num(100)) + "\""});
        if (chance(30)) root.push_back({"printer", "\"\""});
        if (chance(70)) root.push_back({"page", page()});
        const int named = int(num(6));
        for (int i = 0; i < named; ++i)
            m_styles.push_back("s" + std::to_string(i));
        if (named || chance(50)) root.push_back({"styles", styles()});
        root.push_back({"parameters", declared("p", int(num(3)))});
        root.push_back({"fields", declared("f", 1 + int(num(3)))});
        root.push_back({"bands", bands()});
        if (chance(60)) root.push_back({"groups", groups()});
        return object(root, true) + "\n";
    }

  private:
    using Members = std::vector<std::pair<std::string, std::string>>;

    unsigned num(unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(m_rng); }
    bool chance(unsigned percent) { return num(100) < percent; }
    std::string pick(std::initializer_list<const char*> list) {
        return *(list.begin() + num(unsigned(list.size())));
    }
    std::string length(unsigned max) {
        const unsigned v = num(max * 10);
        return std::to_string(v / 10) + (v % 10 ? "." + std::to_string(v % 10) : chance(20) ? ".0" : "");
    }
    std::string unknownValue() {
        return pick({"1", "\"note\"", "[1, {\"a\": null}]", "{\"b\": [true, 2.50]}", "false", "null"});
    }

    // Shuffles the keys and slips in keys this engine does not know.
    std::string object(Members m, bool expanded = false) {
        std::shuffle(m.begin(), m.end(), m_rng);
        if (chance(40))
            m.insert(m.begin() + num(unsigned(m.size()) + 1),
                     {"x-" + std::to_string(num(9)), unknownValue()});
        std::string out = "{";
        for (size_t i = 0; i < m.size(); ++i)
            out += (i ? "," : "") + std::string(expanded ? "\n  " : " ") + "\"" + m[i].first +
                   "\": " + m[i].second;
        return out + (expanded ? "\n}" : "}");
    }
    std::string color() {
        return pick(
            {"\"#a0b1c2\"", "\"#A0B1C2\"", "\"#80ff0000\"", "\"none\"", "\"transparent\"", "\"#FF336699\""});
    }
    std::string boolean() { return pick({"true", "false"}); }

    std::string page() {
        Members m;
        const bool custom = chance(30);
        if (custom || chance(60))
            m.push_back({"paper", custom ? "\"Custom\"" : pick({"\"A4\"", "\"A5\"", "\"Letter\""})});
        if (custom) {
            m.push_back({"width", std::to_string(150 + num(100))});
            m.push_back({"height", std::to_string(150 + num(150))});
        } else if (chance(10)) {
            m.push_back({"width", "123"}); // not read for a named paper: kept as it is
        }
        if (chance(50)) m.push_back({"orientation", pick({"\"portrait\"", "\"landscape\""})});
        if (chance(70)) {
            Members margins;
            for (const char* side : {"left", "top", "right", "bottom"})
                if (chance(60)) margins.push_back({side, length(20)});
            m.push_back({"margins", object(margins)});
        }
        return object(m);
    }

    std::string style(size_t self) {
        Members m;
        if (chance(50) && m_styles.size() > 1) {
            const size_t base = num(unsigned(m_styles.size()));
            // Bases point to lower numbers only, so there is no circle; the file order is shuffled.
            if (base < self) m.push_back({"base", "\"" + m_styles[base] + "\""});
        }
        if (chance(30)) m.push_back({"font", "\"WenQuanYi Micro Hei\""});
        if (chance(50)) m.push_back({"size", std::to_string(6 + num(10)) + pick({"", ".5", ".0"})});
        for (const char* key : {"bold", "italic", "underline", "wrap", "canGrow"})
            if (chance(25)) m.push_back({key, boolean()});
        if (chance(30)) m.push_back({"color", color()});
        if (chance(30)) m.push_back({"background", color()});
        if (chance(30)) m.push_back({"align", pick({"\"left\"", "\"center\"", "\"right\"", "\"justify\""})});
        if (chance(30)) m.push_back({"valign", pick({"\"top\"", "\"middle\"", "\"bottom\""})});
        if (chance(30)) m.push_back({"padding", length(3)});
        if (chance(20)) m.push_back({"format", pick({"\"#,##0.00\"", "\"0.0%\"", "\"\""})});
        if (chance(40)) {
            if (chance(50)) {
                m.push_back({"borders", pick({"\"all\"", "\"none\""})});
            } else {
                Members b;
                for (const char* side : {"left", "top", "right", "bottom"})
                    if (chance(50)) b.push_back({side, boolean()});
                if (chance(40)) b.push_back({"width", length(2)});
                if (chance(30)) b.push_back({"color", color()});
                m.push_back({"borders", object(b)});
            }
        }
        return object(m);
    }

    std::string styles() {
        Members m;
        if (chance(50)) m.push_back({"default", style(size_t(-1))});
        for (size_t i = 0; i < m_styles.size(); ++i)
            m.push_back({m_styles[i], style(i)});
        std::shuffle(m.begin(), m.end(), m_rng);
        std::string out = "{";
        for (size_t i = 0; i < m.size(); ++i)
            out += (i ? ",\n    \"" : "\n    \"") + m[i].first + "\": " + m[i].second;
        return out + (m.empty() ? "}" : "\n  }");
    }

    std::string declared(const std::string& prefix, int count) {
        std::string out = "[";
        m_fieldCount = prefix == "f" ? count : m_fieldCount;
        for (int i = 0; i < count; ++i) {
            Members m{{"name", "\"" + prefix + std::to_string(i) + "\""}};
            if (chance(60))
                m.push_back({"type", pick({"\"text\"", "\"integer\"", "\"decimal\"", "\"currency\""})});
            if (chance(30)) m.push_back({"format", pick({"\"0.00\"", "\"#,##0\""})});
            if (chance(30)) m.push_back({"default", "\"d\""});
            out += (i ? ", " : "") + object(m);
        }
        return out + "]";
    }

    std::string itemStyle() {
        if (!m_styles.empty() && chance(50)) return "\"" + m_styles[num(unsigned(m_styles.size()))] + "\"";
        return chance(50) ? "\"default\"" : style(m_styles.size());
    }

    std::string item(unsigned width, unsigned height) {
        Members m;
        const std::string kind =
            pick({"\"text\"", "\"text\"", "\"text\"", "\"line\"", "\"rect\"", "\"image\"", "\"barcode\""});
        m.push_back({"type", kind});
        m.push_back({"x", length(width / 2)});
        m.push_back({"y", length(height / 2 + 1)});
        m.push_back({"w", kind == "\"line\"" && chance(30) ? "-" + length(20) : length(width / 2)});
        m.push_back({"h", length(height / 2 + 1)});
        if (chance(70)) m.push_back({"style", itemStyle()});
        const std::string ref = "{f" + std::to_string(num(unsigned(m_fieldCount))) + "}";
        if (kind == "\"text\"") {
            m.push_back({"text", pick({"\"A ", "\"", "\"{#row} of {#pages}: "}) + ref +
                                     pick({"\"", " {sum(f1)}\"", " {count()}\""})});
        } else if (kind == "\"barcode\"") {
            m.push_back({"symbology", pick({"\"code128\"", "\"qr\""})});
            m.push_back({chance(20) ? "text" : "data", "\"" + ref + "\""});
        } else if (kind == "\"image\"") {
            m.push_back({"data", pick({"\"iVBORw0KGgo=\"", "\"\""})});
            if (chance(50)) m.push_back({"keepAspect", boolean()});
        } else if (chance(10)) {
            m.push_back({"text", "\"ignored by lines and boxes\""});
        }
        return object(m);
    }

    std::string band(unsigned height, bool detail) {
        Members m{{"height", std::to_string(height)}};
        if (detail && chance(30)) {
            Members c;
            if (chance(80)) c.push_back({"count", pick({"1", "2", "3.0"})});
            if (chance(40)) c.push_back({"spacing", length(3)});
            if (chance(40)) c.push_back({"order", pick({"\"across\"", "\"down\""})});
            m.push_back({"columns", object(c)});
        }
        if (chance(90)) {
            std::string items = "[";
            const unsigned n = num(5);
            for (unsigned i = 0; i < n; ++i)
                items += (i ? ",\n      " : "\n      ") + item(50, height);
            m.push_back({"items", items + (n ? "\n    ]" : "]")});
        }
        return object(m);
    }

    std::string bands() {
        Members m;
        for (const char* name : {"reportHeader", "pageHeader", "columnHeader", "reportFooter", "pageFooter"})
            if (chance(50)) m.push_back({name, band(3 + num(12), false)});
        m.push_back({"detail", band(4 + num(10), true)});
        std::shuffle(m.begin(), m.end(), m_rng);
        std::string out = "{";
        for (size_t i = 0; i < m.size(); ++i)
            out += (i ? ",\n    \"" : "\n    \"") + m[i].first + "\": " + m[i].second;
        return out + "\n  }";
    }

    std::string groups() {
        std::string out = "[";
        const unsigned n = num(3);
        for (unsigned i = 0; i < n; ++i) {
            Members m;
            if (chance(50)) m.push_back({"name", "\"g" + std::to_string(i) + "\""});
            m.push_back({"by", chance(50) ? std::string("\"f0\"") : std::string("[\"f0\"]")});
            if (chance(40)) m.push_back({"newPage", boolean()});
            if (chance(40)) m.push_back({"repeatHeader", boolean()});
            if (chance(70)) m.push_back({"header", band(3 + num(6), false)});
            if (chance(70)) m.push_back({"footer", band(3 + num(6), false)});
            out += (i ? ", " : "") + object(m);
        }
        return out + "]";
    }

    std::mt19937 m_rng;
    std::vector<std::string> m_styles;
    int m_fieldCount = 1;
};

TEST(TemplateRoundTrip, GeneratedTemplatesKeepValuesKeysAndPages) {
    TemplateGenerator gen(20240611);
    for (int i = 0; i < 300 && !HasFailure(); ++i)
        expectRoundTrip(gen.make(), "template " + std::to_string(i));
}

} // namespace

namespace {

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
    auto r = ParseTemplate(WriteTemplate(t));
    ASSERT_TRUE(r) << r.error;
    const Template& back = *r.tmpl;
    EXPECT_EQ(back.page.marginLeft, 20);
    EXPECT_TRUE(back.page.landscape);
    ASSERT_EQ(back.findStyle("cell"), 1);
    EXPECT_TRUE(back.styles[1].borders.left);
    EXPECT_EQ(back.styles[1].padding, 1);
    EXPECT_EQ(back.detail.columns, (Columns{2, 0, 4, true}));
    ASSERT_EQ(back.detail.items.size(), 1u);
    EXPECT_EQ(back.detail.items[0].style, 1);
    EXPECT_EQ(back.fields[0].format, "0.0");
    ASSERT_EQ(back.groups.size(), 1u);
    EXPECT_EQ(back.groups[0].name, "by a");
    EXPECT_FALSE(back.groups[0].repeatHeader);
    EXPECT_TRUE(back.groups[0].footer.present);
}

} // namespace
