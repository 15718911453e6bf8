#pragma once

// What the round-trip tests share: a template file's JSON value, the pages it prints, made-up rows, and
// a generator of templates written the way people write them by hand.
#include "tests/reports/engine/PaginationHelpers.h"

#include <gtest/gtest.h>
#include <simdjson.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace verolux::reports::roundtrip {

// The JSON value of a text, without blanks and with the keys in their order: a key lost, added or moved,
// or a value spelled otherwise than in the file, shows here.
inline std::string jsonValue(const std::string& text) {
    simdjson::dom::parser parser;
    simdjson::padded_string padded(text);
    return simdjson::minify(parser.parse(padded).value());
}

// Everything a page shows: each item's place, its text and the style values it is drawn with.
inline std::string dumpPages(const Template& t, const ReportData& d) {
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

inline ReportData sampleRows(const Template& t, int count) {
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

// Hand-written templates in all their variety: keys in any order, unknown keys at every level, colours in
// lower case, borders as words, numbers written 10.0, styles building on styles defined later. Each
// object is drawn from one of its symbol's rules "key percent alternatives; ...": the key comes up with
// that chance, with one of its alternatives ('|' between them); "@name" is what symbol `name` draws, and
// a symbol that draws nothing leaves its key out.
inline const std::map<std::string, std::vector<std::string>> kRules = {
    {"template",
     {R"(format 100 "verolux-report"; version 100 1|1.0; title 50 "T1"|"订单"; printer 30 ""; page 70 @page; )"
      R"(bands 100 @bands)"}},
    {"page",
     {R"(paper 60 "A4"|"A5"|"Letter"; width 10 123; orientation 50 "portrait"|"landscape"; margins 70 @margins)",
      R"(paper 100 "Custom"; width 100 @paperSide; height 100 @paperSide; orientation 50 "landscape"; )"
      R"(margins 70 @margins)"}},
    {"margins", {"left 60 @len20; top 60 @len20; right 60 @len20; bottom 60 @len20"}},
    {"style",
     {R"(font 30 "WenQuanYi Micro Hei"; size 50 @size; bold 25 @flag; italic 25 @flag; underline 25 @flag; )"
      R"(wrap 25 @flag; canGrow 25 @flag; color 30 @color; background 30 @color; align 30 "left"|"center"|)"
      R"("right"|"justify"; valign 30 "top"|"middle"|"bottom"; padding 30 @len3; format 20 "#,##0.00"|)"
      R"("0.0%"|""; borders 40 "all"|"none"|@borders; base 50 @base)"}},
    {"borders",
     {"left 50 @flag; top 50 @flag; right 50 @flag; bottom 50 @flag; width 40 @len2; color 30 @color"}},
    {"declared",
     {R"(name 100 @name; type 60 "text"|"integer"|"decimal"|"currency"; format 30 "0.00"|"#,##0"; )"
      R"(default 30 "d")"}},
    {"group",
     {R"(name 50 @name; by 100 "f0"|["f0"]; newPage 40 @flag; repeatHeader 40 @flag; header 70 @band; )"
      R"(footer 70 @band)"}},
    {"bands",
     {"detail 100 @detail; reportHeader 50 @band; pageHeader 50 @band; columnHeader 50 @band; "
      "reportFooter 50 @band; pageFooter 50 @band"}},
    {"band", {"height 100 @height; items 90 @items"}},
    {"detail", {"height 100 @height; columns 30 @columns; items 90 @items"}},
    {"columns", {R"(count 80 1|2|3.0; spacing 40 @len3; order 40 "across"|"down")"}},
    {"item",
     {"type 100 \"text\"; @place; w 100 @len25; text 100 @text",
      "type 100 \"text\"; @place; w 100 @len25; text 100 @text",
      R"(type 100 "line"; @place; w 100 @len25|@minus20; text 10 "ignored by lines and boxes")",
      R"(type 100 "rect"; @place; w 100 @len25)",
      R"(type 100 "image"; @place; w 100 @len25; data 100 "iVBORw0KGgo="|""; keepAspect 50 @flag)",
      R"(type 100 "barcode"; @place; w 100 @len25; symbology 100 "code128"|"qr"; data 100 @data)",
      R"(type 100 "barcode"; @place; w 100 @len25; symbology 100 "code128"|"qr"; text 100 @data)"}},
    {"place", {"x 100 @len25; y 100 @len3; h 100 @len3; style 70 @itemStyle"}},
};
// Rules that draw a map of names, where an unknown key would be one more name.
inline const std::set<std::string> kMaps = {"bands"};

class TemplateGenerator {
  public:
    explicit TemplateGenerator(unsigned seed) : m_rng(seed) {}

    std::string make() {
        m_styles.clear();
        for (unsigned i = 0, n = num(6); i < n; ++i)
            m_styles.push_back("s" + std::to_string(i));
        m_fields = 1 + num(3);
        Members given{{"parameters", list(num(3), "declared", "p")},
                      {"fields", list(m_fields, "declared", "f")}};
        if (!m_styles.empty() || chance(50)) given.emplace_back("styles", styles());
        if (chance(60)) given.emplace_back("groups", list(num(3), "group", "g"));
        return object(kRules.at("template")[0], given) + "\n";
    }

  private:
    using Members = std::vector<std::pair<std::string, std::string>>;

    unsigned num(unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(m_rng); }
    bool chance(unsigned percent) { return num(100) < percent; }
    std::string pick(const std::vector<std::string>& values) { return values[num(unsigned(values.size()))]; }
    std::string length(unsigned max) {
        const unsigned v = num(max * 10);
        return std::to_string(v / 10) + (v % 10 ? "." + std::to_string(v % 10) : chance(20) ? ".0" : "");
    }

    std::string draw(const std::string& symbol) {
        if (auto rule = kRules.find(symbol); rule != kRules.end())
            return object(pick(rule->second), {}, !kMaps.count(symbol));
        if (symbol.rfind("len", 0) == 0) return length(unsigned(std::stoi(symbol.substr(3))));
        if (symbol == "minus20") return "-" + length(20); // a line drawn leftwards
        if (symbol == "flag") return pick({"true", "false"});
        if (symbol == "height") return std::to_string(3 + num(12));
        if (symbol == "size") return std::to_string(6 + num(10)) + pick({"", ".5", ".0"});
        if (symbol == "paperSide") return std::to_string(150 + num(150));
        if (symbol == "color")
            return pick({R"("#a0b1c2")", R"("#A0B1C2")", R"("#80ff0000")", R"("none")", R"("transparent")",
                         R"("#FF336699")"});
        if (symbol == "name") return "\"" + m_name + "\"";
        if (symbol == "items") return list(num(5), "item");
        if (symbol == "data") return "\"{f" + std::to_string(num(m_fields)) + "}\"";
        if (symbol == "text")
            return pick({"\"A ", "\"", "\"{#row} of {#pages}: "}) + "{f" + std::to_string(num(m_fields)) +
                   "}" + pick({"\"", " {sum(f1)}\"", " {count()}\""});
        if (symbol == "itemStyle") {
            if (!m_styles.empty() && chance(50)) return "\"" + pick(m_styles) + "\"";
            m_self = m_styles.size();
            return chance(50) ? "\"default\"" : draw("style");
        }
        // A base only on a style with a lower number, so there is no circle; the file order is shuffled.
        EXPECT_EQ(symbol, "base");
        return m_self == 0 ? "" : "\"" + m_styles[num(unsigned(std::min(m_self, m_styles.size())))] + "\"";
    }

    // The styles map: every named style, and the default one ("default" may build on any of them).
    std::string styles() {
        Members named;
        for (size_t i = 0; i <= m_styles.size(); ++i) {
            m_self = i;
            if (i < m_styles.size() || chance(50))
                named.emplace_back(i < m_styles.size() ? m_styles[i] : "default", draw("style"));
        }
        return object("", named, false);
    }

    // `count` objects of a symbol, named prefix0, prefix1, ... where they have a name.
    std::string list(unsigned count, const std::string& symbol, const std::string& prefix = "") {
        std::string out;
        for (unsigned i = 0; i < count; ++i) {
            m_name = prefix + std::to_string(i);
            out += (i ? ", " : "") + draw(symbol);
        }
        return "[" + out + "]";
    }

    // The given members and those the rule draws, shuffled, sometimes with a key this engine does not know.
    std::string object(const std::string& rule, Members m, bool unknown = true) {
        drawKeys(rule, m);
        std::shuffle(m.begin(), m.end(), m_rng);
        if (unknown && chance(40))
            m.insert(m.begin() + num(unsigned(m.size()) + 1),
                     {"x-" + std::to_string(num(9)), pick({"1", "\"note\"", "[1, {\"a\": null}]",
                                                           "{\"b\": [true, 2.50]}", "false", "null"})});
        std::string out;
        for (size_t i = 0; i < m.size(); ++i)
            out += (i ? ", \"" : "\"") + m[i].first + "\": " + m[i].second;
        return "{" + out + "}";
    }
    void drawKeys(const std::string& rule, Members& m) {
        for (size_t at = 0; at < rule.size();) {
            const size_t end = std::min(rule.find("; ", at), rule.size());
            const std::string clause = rule.substr(at, end - at);
            at = end + 2;
            if (clause[0] == '@') { // the keys of another rule, in place
                drawKeys(kRules.at(clause.substr(1))[0], m);
                continue;
            }
            const size_t blank = clause.find(' '), second = clause.find(' ', blank + 1);
            if (!chance(unsigned(std::stoi(clause.substr(blank + 1, second - blank - 1))))) continue;
            std::vector<std::string> choices;
            for (size_t from = second + 1, bar; from <= clause.size(); from = bar + 1) {
                bar = std::min(clause.find('|', from), clause.size());
                choices.push_back(clause.substr(from, bar - from));
            }
            const std::string choice = pick(choices);
            const std::string value = choice[0] == '@' ? draw(choice.substr(1)) : choice;
            if (!value.empty()) m.emplace_back(clause.substr(0, blank), value);
        }
    }

    std::mt19937 m_rng;
    std::vector<std::string> m_styles;
    unsigned m_fields = 1;
    size_t m_self = 0;  // the number of the style being drawn
    std::string m_name; // the name of the list entry being drawn
};

} // namespace verolux::reports::roundtrip
