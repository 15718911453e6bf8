// Expressions in references, conditional formatting and band options, laid out with the hand-computable
// measurer (see PaginationTest.cpp for the page: rows from y=25 to y=85, 6 mm detail rows, 10 a page).
#include "tests/reports/engine/PaginationHelpers.h"

#include "agent/reports/layout/RuleStyles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace verolux;
using namespace verolux::reports;

namespace {

std::string tmpl(const std::string& detailText, const std::string& extraBands = "",
                 const std::string& groups = "[]", const std::string& rules = "",
                 const std::string& detailKeys = "\"height\": 6") {
    return R"({"format": "verolux-report", "version": 1,
      "page": {"paper": "Custom", "width": 100, "height": 100, "margins": {"left": 10, "top": 10, "right": 10, "bottom": 10}},
      "styles": {"default": {"size": 10}, "alert": {"color": "#FF0000", "bold": true, "background": "#FFFF00", "size": 30}},
      "parameters": [{"name": "rate", "type": "decimal"}],
      "fields": [{"name": "customer"}, {"name": "quantity", "type": "integer"}, {"name": "price", "type": "currency"},
                 {"name": "amount", "type": "decimal"}, {"name": "note"}, {"name": "order-no"}],
      "bands": {
        "pageHeader": {"height": 10, "items": []},
        "columnHeader": {"height": 5, "items": []},
        "detail": {)" +
           detailKeys + R"(, "items": [
          {"type": "text", "x": 0, "y": 0, "w": 80, "h": 6, "text": )" +
           detailText + rules + R"(}]},
        "pageFooter": {"height": 5, "items": [{"type": "text", "x": 0, "y": 0, "w": 80, "h": 5, "text": "p{#page}"}]})" +
           extraBands + R"(},
      "groups": )" +
           groups + "}";
}

std::string quote(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// customer, quantity, price, amount, note, order-no
ReportData data(const std::vector<std::vector<const char*>>& rows) {
    ReportData d;
    d.parameters = {ScalarValue::fromNumber("0.13")};
    for (const auto& r : rows) {
        std::vector<ScalarValue> row;
        for (const char* v : r)
            row.push_back(v ? ScalarValue::fromText(v) : ScalarValue{});
        d.rows.push_back(std::move(row));
    }
    return d;
}

const std::vector<std::vector<const char*>> kRow = {{"Acme", "3", "19.99", "0.1", "abc", "N-1"}};

std::string firstDetailText(const LaidOutReport& r) {
    for (const auto& it : r.pages.at(0).items)
        if (it.y >= 25 && it.y < 85 && it.kind == ItemKind::Text) return std::string(r.pages[0].textOf(it));
    return "<none>";
}

} // namespace

// What a reference prints for the row Acme, 3 × 19.99 (currency), amount 0.1, note "abc", rate 0.13.
TEST(Expressions, ValuesPrintExactly) {
    const struct {
        const char* text;
        const char* printed;
    } cases[] = {
        // clang-format off
        {"{quantity*price}", "59.97"},               // currency stays currency: two decimals
        {"{quantity*price|#,##0.000}", "59.970"},
        {"{amount + 0.2}", "0.3"},                    // exact decimals
        {"{round(price*1.13, 2)}", "22.59"},          // 22.5887 half away from zero
        {"{round(2.5)} {round(-2.5)}", "3 -3"},
        {"{10/4} {1/3} {7 % 3}", "2.5 0.3333333333 1"},
        {"{price*(1+$rate)} {price*(1+$rate)|0.0000}", "22.59 22.5887"},
        {"{if(quantity*price>=50, \"大额\", \"\")}|", "大额|"},
        {"{if(quantity>5, \"many\")}|", "|"},
        {"{customer & ' (' & quantity & ')'}", "Acme (3)"},
        {"{quantity = 3 and not (customer <> 'Acme')}", "true"},
        {"{quantity < 2 or amount > 0}", "true"},
        {"{customer = 'acme'} {customer >= 'A'}", "false true"},
        {"{len(customer & '金额')} {abs(-price)} {isempty(missing)}", "6 19.99 true"},
        {"{text(price, '¥#,##0.00') & '!'}", "¥19.99!"},
        {"{#row * 10} {#page}", "10 1"},
        {"{quantity*price|大写金额}", "伍拾玖元玖角柒分"},
        {"{-quantity}", "-3"},
        {"{price - quantity} {quantity - 10}", "16.99 -7"},
        {"{quantity < 3} {quantity <= 3} {quantity > 3} {quantity >= 3}", "false true false true"},
        {"{if(missing > 1, 'y', 'n')}{if(missing < 1, 'y', 'n')}", "nn"}, // nothing to order
        {"{if(0, 'y', 'n')}{if(quantity - 3, 'y', 'n')}{if(quantity, 'y', 'n')}", "nny"},
        {"{'it''s'}", "it's"},
        // The forms there were before print as before.
        {"{customer} {quantity} {price} {amount} {order-no} {$rate|0.0%} {sum(quantity)} {count()}",
         "Acme 3 19.99 0.1 N-1 13.0% 3 1"},
        {"{nosuchname} {foo bar} {#nosuch} {$nosuch}|", "   |"},
        {"{{literal}} {unclosed", "{literal} {unclosed"},
        // Values that cannot be computed print empty.
        {"[{note*2}] [{quantity/0}] [{if(note, 1, 2)}] [{missing*2}]", "[] [] [] []"},
        // clang-format on
    };
    for (const auto& c : cases) {
        const LaidOutReport r = LayOut(LoadTemplateText(tmpl(quote(c.text))), data(kRow));
        EXPECT_EQ(firstDetailText(r), c.printed) << c.text;
    }
}

TEST(Expressions, AggregatesOverExpressionsHaveScopes) {
    const std::string groups =
        R"([{"by": "customer", "footer": {"height": 5, "items": [{"type": "text", "x": 0, "y": 0,
        "w": 80, "h": 5, "text": "{customer} {sum(quantity*price)} {sum(quantity*price, report)} {avg(amount*2)} {max(quantity*price)} {count(note)}"}]}}])";
    const LaidOutReport r = LayOut(LoadTemplateText(tmpl("\"{sum(amount+0)}\"", "", groups)),
                                   data({{"Acme", "3", "19.99", "0.1", "x", ""},
                                         {"Acme", "1", "0.01", "0.2", nullptr, ""},
                                         {"Beta", "2", "1", "0.3", "y", ""}}));
    const auto texts = PageTexts(r.pages.at(0));
    EXPECT_TRUE(Contains(texts, "0.3")) << "detail: the group's exact sum 0.1 + 0.2";
    EXPECT_TRUE(Contains(texts, "Acme 59.98 61.98 0.3 59.97 1"));
    EXPECT_TRUE(Contains(texts, "Beta 2.00 61.98 0.6 2.00 1"));
}

TEST(Expressions, ValuesThatCannotBeComputedAreToldOnce) {
    const LaidOutReport r = LayOut(LoadTemplateText(tmpl("\"{note*2}{quantity/(quantity-3)}\"")),
                                   data({kRow[0], kRow[0], kRow[0]}));
    ASSERT_EQ(r.warnings.size(), 2u);
    EXPECT_EQ(r.warnings[0],
              "bands.detail.items[0] {note*2}: cannot multiply the text \"abc\": not a number");
    EXPECT_EQ(r.warnings[1], "bands.detail.items[0] {quantity/(quantity-3)}: division by zero");
}

// Files written before expressions existed still load: what cannot be read prints nothing, as an unknown
// reference always did, and is told as a warning with its place.
TEST(Expressions, UnreadableExpressionsLoadWithAWarningAndPrintNothing) {
    const struct {
        std::string text, rules;
        const char* warning;
    } cases[] = {
        {"\"总计 {quantity**price}!\"", "",
         "bands.detail.items[0].text: character 14: expected a value instead of '*'"},
        {"\"总计 {round(price, 2}!\"", "",
         "bands.detail.items[0].text: character 19: expected ',' or ')' instead of 'end'"},
        {"\"总计 {median(price)}!\"", "",
         "bands.detail.items[0].text: character 5: unknown function median()"},
        {"\"总计 {round(1,2,3)}!\"", "",
         "bands.detail.items[0].text: character 5: round() takes 1 or 2 arguments"},
        {"\"总计 {sum(price*2, week)}!\"", "",
         "bands.detail.items[0].text: character 18: the scope is group, page or report"},
        {"\"总计 {sum(sum(price))}!\"", "",
         "bands.detail.items[0].text: character 9: an aggregate cannot stand inside another"},
        {"\"总计 {#pages + 1}!\"", "",
         "bands.detail.items[0].text: character 5: the page count stands only alone: {#pages}"},
        {"\"总计 !\"", R"(, "rules": [{"when": "price >"}])",
         "bands.detail.items[0].rules[0].when: character 8: expected a value"},
    };
    for (const auto& c : cases) {
        const auto r = ParseTemplate(tmpl(c.text, "", "[]", c.rules));
        ASSERT_TRUE(r) << r.error;
        EXPECT_EQ(r.warnings, std::vector<std::string>{c.warning}) << c.text;
        const auto texts = PageTexts(LayOut(*r.tmpl, data({kRow[0]})).pages.at(0));
        EXPECT_TRUE(Contains(texts, "总计 !")) << c.text;
    }
    const auto style =
        ParseTemplate(tmpl("\"x\"", "", "[]", R"(, "rules": [{"when": "1", "style": "nope"}])"));
    EXPECT_EQ(style.error, "bands.detail.items[0].rules[0].style: unknown style \"nope\"");
}

// Rules in order, the first that holds applies: a style's colour, weight and background, or hiding.
TEST(Expressions, ConditionalFormattingPerRow) {
    const std::string rules = R"(, "rules": [{"when": "quantity >= 10", "visible": false},
        {"when": "quantity * price >= 50", "style": "alert"}])";
    Template t = LoadTemplateText(tmpl("\"{quantity}\"", "", "[]", rules));
    ASSERT_TRUE(AddRuleStyles(t));
    const LaidOutReport r = LayOut(t, data({{"A", "3", "19.99"}, {"B", "1", "1"}, {"C", "10", "100"}}));
    std::vector<const PageItem*> cells;
    for (const auto& it : r.pages.at(0).items)
        if (it.y >= 25 && it.y < 85) cells.push_back(&it);
    ASSERT_EQ(cells.size(), 3u);
    const TextStyle& alert = t.styles[size_t(cells[0]->style)];
    EXPECT_EQ(alert.color, 0xFFFF0000u);
    EXPECT_TRUE(alert.bold);
    EXPECT_EQ(alert.background, 0xFFFFFF00u);
    EXPECT_EQ(alert.fontSize, 10) << "only colour, weight, slant, underline and background";
    EXPECT_EQ(cells[1]->style, 0);
    EXPECT_FALSE(cells[1]->hidden);
    EXPECT_TRUE(cells[2]->hidden);
}

TEST(Expressions, NewKeysAreWrittenOnlyWhenGivenAndReadBack) {
    const std::string rules =
        R"(, "rules": [{"when": "quantity > 1", "style": "alert", "visible": false, "x": 1}])";
    const std::string text =
        tmpl("\"{quantity*price}\"", R"(, "reportFooter": {"height": 5, "printAtBottom": true, "items": []})",
             "[]", rules, R"("height": 6, "keepTogether": true)");
    const auto loaded = ParseTemplate(text);
    ASSERT_TRUE(loaded) << loaded.error;
    EXPECT_TRUE(loaded.tmpl->detail.keepTogether);
    EXPECT_TRUE(loaded.tmpl->reportFooter.printAtBottom);
    ASSERT_EQ(loaded.tmpl->detail.items[0].rules.size(), 1u);
    const std::string saved = WriteTemplate(*loaded.tmpl);
    EXPECT_NE(
        saved.find(R"("rules": [{"when": "quantity > 1", "style": "alert", "visible": false, "x": 1}])"),
        std::string::npos)
        << saved;
    EXPECT_NE(saved.find(R"("keepTogether": true)"), std::string::npos);
    EXPECT_EQ(WriteTemplate(*ParseTemplate(saved).tmpl), saved);
    const std::string plain = WriteTemplate(LoadTemplateText(tmpl("\"{quantity}\"")));
    for (const char* key : {"rules", "keepTogether", "keepWithDetail", "printAtBottom"})
        EXPECT_EQ(plain.find(key), std::string::npos) << key;
}

// Band options on pages with room for ten 6 mm rows (y 25 to 85).
TEST(Expressions, BandOptionsPaginate) {
    const std::string footer =
        R"([{"by": "customer", "footer": {"height": 5, "keepWithDetail": true, "items": [
        {"type": "text", "x": 0, "y": 0, "w": 80, "h": 5, "text": "total {customer}"}]}}])";
    const std::string loose = R"([{"by": "customer", "footer": {"height": 5, "items": []}}])";
    const std::string bottom = R"(, "reportFooter": {"height": 5, "printAtBottom": true, "items": [
        {"type": "text", "x": 0, "y": 0, "w": 80, "h": 5, "text": "end"}]})";
    const std::string tallHeader = R"(, "reportHeader": {"height": 40, "items": []})";
    const std::string tallRow = R"("keepTogether": true, "height": 30)";
    std::vector<std::vector<const char*>> ten(10, {"A", "1", "1"});
    const struct {
        std::string bands, groups, detailKeys;
        size_t rows;
        const char* pages;
    } cases[] = {
        // clang-format off
        // Ten rows fill the page: the footer would start page 2 alone, so the tenth row goes with it.
        {"", footer, "\"height\": 6", 10, "page 1: rows 1-9\npage 2: rows 10-10, column header repeated, group 'A' continues, footer 'A'\n"},
        {"", loose, "\"height\": 6", 10, "page 1: rows 1-10\npage 2: no rows, column header repeated, group 'A' continues, footer 'A'\n"},
        {bottom, "[]", "\"height\": 6", 2, "page 1: rows 1-2, report footer at the bottom\n"},
        {bottom, "[]", "\"height\": 6", 10, "page 1: rows 1-10\npage 2: no rows, column header repeated, report footer at the bottom\n"},
        // A 30 mm row after a 40 mm report header has 20 mm left: kept together it starts page 2.
        {tallHeader, "[]", tallRow, 1, "page 1: no rows, report header\npage 2: rows 1-1, column header repeated\n"},
        {tallHeader, "[]", "\"height\": 30", 1, "page 1: rows 1-1, report header\npage 2: rows 1-1, column header repeated, row 1 continues\n"},
        // clang-format on
    };
    for (const auto& c : cases) {
        const std::vector<std::vector<const char*>> rows(ten.begin(), ten.begin() + long(c.rows));
        const LaidOutReport r =
            LayOut(LoadTemplateText(tmpl("\"{quantity}\"", c.bands, c.groups, "", c.detailKeys)), data(rows));
        EXPECT_EQ(DescribePages(r), c.pages) << c.bands << c.groups << c.detailKeys;
    }
    // At the bottom: just above the page footer (85 mm).
    const LaidOutReport r = LayOut(LoadTemplateText(tmpl("\"{quantity}\"", bottom)), data({ten[0]}));
    for (const auto& it : r.pages[0].items)
        if (r.pages[0].textOf(it) == "end") {
            EXPECT_FLOAT_EQ(it.y, 80);
        }
}
