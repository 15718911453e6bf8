// Pagination on hand-computable pages: a 100 mm high custom paper with 10 mm margins, a 10 mm page
// header, a 5 mm column header and a 5 mm page footer leave rows the band from y=25 to y=85 (60 mm).
// With 6 mm detail rows that is exactly 10 rows per page.
#include "tests/reports/engine/PaginationHelpers.h"

#include "agent/reports/layout/LayoutLimits.h"
#include "agent/reports/layout/TextWrap.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

using namespace verolux;
using namespace verolux::reports;

namespace {

std::string page(const std::string& extraBands, const std::string& groups = "[]",
                 const std::string& detailStyle = "\"cell\"") {
    return R"({"format": "verolux-report", "version": 1,
      "page": {"paper": "Custom", "width": 100, "height": 100, "margins": {"left": 10, "top": 10, "right": 10, "bottom": 10}},
      "styles": {"default": {"size": 10, "padding": 0.5}, "cell": {"borders": "all"},
                 "wrap": {"wrap": true, "canGrow": true, "borders": "all"}},
      "parameters": [{"name": "title"}, {"name": "rate", "type": "decimal", "format": "0.0%"}],
      "fields": [{"name": "customer"}, {"name": "item"}, {"name": "amount", "type": "integer"}],
      "bands": {
        "pageHeader": {"height": 10, "items": [{"type": "text", "x": 0, "y": 0, "w": 80, "h": 10, "text": "{$title}"}]},
        "columnHeader": {"height": 5, "items": [{"type": "text", "x": 0, "y": 0, "w": 80, "h": 5, "text": "Item"}]},
        "detail": {"height": 6, "items": [
          {"type": "text", "x": 0, "y": 0, "w": 30, "h": 6, "style": )" +
           detailStyle + R"(, "text": "{item}"},
          {"type": "text", "x": 30, "y": 0, "w": 20, "h": 6, "style": "cell", "text": "{amount}"}]},
        "pageFooter": {"height": 5, "items": [
          {"type": "text", "x": 0, "y": 0, "w": 40, "h": 5, "text": "{sum(amount)}"},
          {"type": "text", "x": 40, "y": 0, "w": 40, "h": 5, "text": "第 {#page} 页 / 共 {#pages} 页"}]})" +
           extraBands + R"(},
      "groups": )" +
           groups + "}";
}

// Rows of (customer, item, amount); amount = row number, so sums are easy to check.
ReportData rows(const std::vector<std::pair<std::string, int>>& customers, const std::string& item = "") {
    ReportData d;
    d.parameters = {ScalarValue::fromText("Orders"), ScalarValue::fromNumber("0.125")};
    int n = 0;
    for (const auto& [customer, count] : customers) {
        for (int i = 0; i < count; ++i) {
            ++n;
            d.rows.push_back({ScalarValue::fromText(customer),
                              ScalarValue::fromText(item.empty() ? "item " + std::to_string(n) : item),
                              ScalarValue::fromNumber(std::to_string(n))});
        }
    }
    return d;
}

const std::string kCustomerGroup = R"([{"by": ["customer"], "repeatHeader": true,
    "header": {"height": 5, "items": [{"type": "text", "x": 0, "y": 0, "w": 80, "h": 5, "text": "{customer} total {sum(amount)}"}]},
    "footer": {"height": 5, "items": [{"type": "text", "x": 0, "y": 0, "w": 80, "h": 5, "text": "{customer}: {count()} rows, {sum(amount)}"}]}}])";

} // namespace

TEST(Pagination, PlainListTenRowsPerPageColumnHeaderRepeats) {
    Template t = LoadTemplateText(page(""));
    LaidOutReport r = LayOut(t, rows({{"Acme", 25}}));
    EXPECT_EQ(DescribePages(r), "page 1: rows 1-10\n"
                                "page 2: rows 11-20, column header repeated\n"
                                "page 3: rows 21-25, column header repeated\n");
    // Page footer: default scope page sum (1..10 = 55, 11..20 = 155, 21..25 = 115) and page X of Y.
    EXPECT_TRUE(Contains(PageTexts(r.pages[0]), "55"));
    EXPECT_TRUE(Contains(PageTexts(r.pages[1]), "155"));
    EXPECT_TRUE(Contains(PageTexts(r.pages[2]), "115"));
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(Contains(PageTexts(r.pages[size_t(i)]), "第 " + std::to_string(i + 1) + " 页 / 共 3 页"));
    // The footer stays at its place (nothing starts below it) and the rows never reach it.
    ExpectBodyAbove(r, 85);
    for (const Page& p : r.pages)
        for (const auto& it : p.items)
            EXPECT_LE(it.y, 85.f + 1e-3f) << p.textOf(it);
}

// Pages of groups and report bands, one row per case: the pages, and texts a page shows ("2:text") or
// does not ("2!text"). A group goes on on the next page with its header again only with repeatHeader; its
// totals are known in its header from the start (1+..+12 = 78, 13+14+15 = 42). A group header stays with
// the first row under it: Beta's header (5 mm) and its first row (6 mm) need 11 mm below Acme's footer,
// which ends at 35 + 6 × (Acme's rows) mm; the body ends at 85 mm. A 480 mm picture cannot be cut: it gets
// a page of its own, cut off at the paper's edge, and the rows go on after it.
TEST(Pagination, PagesOfGroupsAndReportBands) {
    std::string noRepeat = kCustomerGroup, newPage = kCustomerGroup;
    noRepeat.replace(noRepeat.find("true"), 4, "false");
    newPage.replace(newPage.find("\"repeatHeader\""), 0, "\"newPage\": true, ");
    const std::string footer = R"(, "reportFooter": {"height": 5, "items": [{"type": "text", "x": 0, "y": 0,
        "w": 80, "h": 5, "text": "n={count()} f={sum(amount)|#,##0.00} r={$rate} t={#title} {{x}}"}]})";
    const std::string headerAndFooter = R"(, "reportHeader": {"height": 5, "items": []}, "reportFooter":
        {"height": 5, "items": [{"type": "text", "x": 0, "y": 0, "w": 80, "h": 5, "text": "total {sum(amount)}|{count()}"}]})";
    const std::string picture = R"(, "reportHeader": {"height": 500, "items": [
        {"type": "rect", "x": 0, "y": 0, "w": 10, "h": 10},
        {"type": "image", "x": 0, "y": 20, "w": 80, "h": 480, "data": ""}]})";
    const struct {
        std::string bands, groups;
        std::vector<std::pair<std::string, int>> customers;
        const char* pages;
        std::vector<std::string> texts;
    } cases[] = {
        // clang-format off
        {"", kCustomerGroup, {{"Acme", 12}, {"Beta", 3}},
         "page 1: rows 1-9, header 'Acme'\n"
         "page 2: rows 10-15, column header repeated, group 'Acme' continues (header repeated), footer 'Acme', "
         "header 'Beta', footer 'Beta'\n",
         {"1:Acme total 78", "2:Acme total 78", "2:Acme: 12 rows, 78", "2:Beta: 3 rows, 42"}},
        {"", noRepeat, {{"Acme", 12}, {"Beta", 3}},
         "page 1: rows 1-9, header 'Acme'\n"
         "page 2: rows 10-15, column header repeated, group 'Acme' continues, footer 'Acme', header 'Beta', "
         "footer 'Beta'\n",
         {"1:Acme total 78", "2!Acme total 78", "2:Acme: 12 rows, 78", "2:Beta: 3 rows, 42"}},
        {"", kCustomerGroup, {{"Acme", 6}, {"Beta", 2}}, // 14 mm left: they stay
         "page 1: rows 1-7, header 'Acme', footer 'Acme', header 'Beta'\n"
         "page 2: rows 8-8, column header repeated, group 'Beta' continues (header repeated), footer 'Beta'\n", {}},
        {"", kCustomerGroup, {{"Acme", 7}, {"Beta", 2}}, // 8 mm: the header alone would fit
         "page 1: rows 1-7, header 'Acme', footer 'Acme'\n"
         "page 2: rows 8-9, column header repeated, header 'Beta', footer 'Beta'\n", {}},
        {"", kCustomerGroup, {{"Acme", 8}, {"Beta", 2}}, // 2 mm: not even the header fits
         "page 1: rows 1-8, header 'Acme', footer 'Acme'\n"
         "page 2: rows 9-10, column header repeated, header 'Beta', footer 'Beta'\n", {}},
        {"", newPage, {{"Acme", 2}, {"Beta", 2}, {"Cato", 1}},
         "page 1: rows 1-2, header 'Acme', footer 'Acme'\n"
         "page 2: rows 3-4, column header repeated, header 'Beta', footer 'Beta'\n"
         "page 3: rows 5-5, column header repeated, header 'Cato', footer 'Cato'\n", {}},
        // Formats, parameters, the title and an escaped brace (the aggregates are the test above).
        {footer, "[]", {{"Acme", 4}}, "page 1: rows 1-4, report footer\n", {"1:n=4 f=10.00 r=12.5% t=Q1 {x}"}},
        {headerAndFooter, kCustomerGroup, {}, "page 1: no rows, report header, report footer\n",
         {"1:total |0", "1:第 1 页 / 共 1 页"}},
        {picture, "[]", {{"Acme", 3}},
         "page 1: no rows, report header\n"
         "page 2: no rows, column header repeated\n"
         "page 3: rows 1-3, column header repeated\n", {}},
        // clang-format on
    };
    for (const auto& c : cases) {
        ReportData d = rows(c.customers);
        d.title = "Q1";
        const LaidOutReport r = LayOut(LoadTemplateText(page(c.bands, c.groups)), d);
        EXPECT_EQ(DescribePages(r), c.pages);
        for (const std::string& text : c.texts) {
            const size_t n = size_t(text[0] - '1');
            ASSERT_LT(n, r.pages.size()) << text;
            EXPECT_EQ(Contains(PageTexts(r.pages[n]), text.substr(2)), text[1] == ':') << text << "\n"
                                                                                       << c.pages;
        }
    }
}

// {#row} counts the report's rows from 1; {#grouprow} counts from 1 in the innermost group, which
// restarts whenever an outer group changes, even if its own field does not.
TEST(Pagination, RowNumbersInsideAndAcrossTwoGroupLevels) {
    const std::string groups = R"([
      {"by": "customer", "header": {"height": 5, "items": [{"type": "text", "x": 0, "y": 0, "w": 80, "h": 5, "text": "C {customer}"}]}},
      {"by": ["item"], "footer": {"height": 5, "items": [{"type": "text", "x": 0, "y": 0, "w": 80, "h": 5, "text": "I {item} {count()} {sum(amount)} {sum(amount, report)}"}]}}])";
    ReportData d = rows({{"Acme", 3}, {"Beta", 2}}, "pen");
    d.rows[2][1] = ScalarValue::fromText("ink");
    for (const bool grouped : {true, false}) {
        Template t = LoadTemplateText(page("", grouped ? groups : "[]"));
        t.detail.items[0].text = "{#row}/{#grouprow} {item}";
        std::vector<std::string> numbers;
        for (const std::string& text : PageTexts(LayOut(t, d).pages[0]))
            if (text.find('/') != std::string::npos && text[0] != '\xE7') numbers.push_back(text);
        EXPECT_EQ(numbers,
                  grouped
                      ? (std::vector<std::string>{"1/1 pen", "2/2 pen", "3/1 ink", "4/1 pen", "5/2 pen"})
                      : (std::vector<std::string>{"1/1 pen", "2/2 pen", "3/3 ink", "4/4 pen", "5/5 pen"}));
        if (!grouped) continue;
        // Same item "pen" in both customers: the inner group still breaks where the outer one does.
        const auto all = PageTexts(LayOut(t, d).pages[0]);
        EXPECT_TRUE(Contains(all, "I pen 2 3 15"));
        EXPECT_TRUE(Contains(all, "I pen 2 9 15"));
    }
}

// Each aggregate over a text field, a number field and a field without values. Empty values are
// skipped; count(f) counts the values that are there, whatever their kind; text does not add up.
TEST(Pagination, EveryAggregateOverTextNumbersAndEmptyValues) {
    std::string cells;
    for (const char* f : {"t", "n", "e"})
        for (const char* fn : {"count", "sum", "avg", "min", "max"})
            cells += std::string(cells.empty() ? "" : " ") + fn + "(" + f + ")={" + fn + "(" + f + ")}";
    Template t = LoadTemplateText(R"({"format": "verolux-report", "version": 1,
        "fields": [{"name": "t"}, {"name": "n", "type": "decimal"}, {"name": "e", "type": "integer"}],
        "bands": {"reportFooter": {"height": 5, "items": [
            {"type": "text", "x": 0, "y": 0, "w": 80, "h": 5, "text": ")" +
                                  cells + R"( count()={count()}"}]}}})");
    ReportData d;
    for (const auto& [text, number] :
         std::vector<std::pair<const char*, const char*>>{{"a", "1.5"}, {"", ""}, {"7", "2"}})
        d.rows.push_back({ScalarValue::fromText(text), ScalarValue::fromNumber(number), ScalarValue{}});
    d.rows[1][1] = ScalarValue{};
    EXPECT_EQ(PageTexts(LayOut(t, d).pages[0]),
              std::vector<std::string>{"count(t)=2 sum(t)= avg(t)= min(t)=7 max(t)=a "
                                       "count(n)=2 sum(n)=3.5 avg(n)=1.75 min(n)=1.5 max(n)=2 "
                                       "count(e)=0 sum(e)= avg(e)= min(e)= max(e)= count()=3"});
}

// Items that name a style outside the template are drawn with the default.
TEST(Pagination, MissingValuesAndUnknownReferencesPrintEmpty) {
    const std::string header = R"(, "reportHeader": {"height": 5, "items": [
        {"type": "text", "x": 0, "y": 0, "w": 80, "h": 5, "text": "[{nosuch}|{$nosuch}|{#nosuch}|{sum(nosuch)}|{item}]"}]})";
    Template t = LoadTemplateText(page(header));
    t.detail.items[0].style = 99;
    t.detail.items[1].style = -1;
    ReportData d;
    d.rows.push_back({}); // a row without any value
    LaidOutReport r = LayOut(t, d);
    EXPECT_TRUE(Contains(PageTexts(r.pages[0]), "[||||]"));
    for (const auto& it : r.pages[0].items)
        EXPECT_LT(size_t(it.style), t.styles.size());
}

TEST(Pagination, CanGrowRowAtPageEndMovesWholeToNextPage) {
    Template t = LoadTemplateText(page("", "[]", "\"wrap\""));
    // The item cell is 30 mm wide with 0.5 mm padding: 29 mm of text, 14 ASCII characters per line.
    // Row 10 gets four 9-character words (18 mm each, two never fit together): 4 lines = 20 mm + 1 mm
    // padding = 21 mm; after 9 rows (y=79) only 6 mm are left, so the row must go whole to page 2.
    ReportData d = rows({{"Acme", 12}});
    d.rows[9][1] = ScalarValue::fromText("aaaaaaaaa bbbbbbbbb ccccccccc ddddddddd");
    LaidOutReport r = LayOut(t, d);
    EXPECT_EQ(DescribePages(r), "page 1: rows 1-9\n"
                                "page 2: rows 10-12, column header repeated\n");
    // The grown row at the top of the body: item cell and its neighbour (bottom-aligned with the band) both
    // 21 mm high.
    std::string top;
    for (const auto& it : r.pages[1].items)
        if (it.y == 25.f) top += std::string(r.pages[1].textOf(it)) + " h=" + std::to_string(it.h) + "; ";
    EXPECT_EQ(top, "aaaaaaaaa\nbbbbbbbbb\nccccccccc\nddddddddd h=21.000000; 10 h=21.000000; ");
}

// A cell that can grow takes the height its lines and padding need, even a fraction of a millimetre more
// than the band: one 5 mm line with 0.75 mm of padding above and below needs 6.5 mm of a 6 mm band.
TEST(Pagination, CanGrowCellGrowsByWhatItsTextNeeds) {
    std::string json = page("", "[]", "\"wrap\"");
    json.replace(json.find(R"("wrap": {"wrap": true)"), 9, R"("wrap": {"padding": 0.75, )");
    Template t = LoadTemplateText(json);
    LaidOutReport r = LayOut(t, rows({{"Acme", 2}}, "ab"));
    std::vector<float> heights;
    for (const auto& it : r.pages[0].items)
        if (r.pages[0].textOf(it) == "ab" || r.pages[0].textOf(it) == "2") heights.push_back(it.h);
    EXPECT_EQ(heights, (std::vector<float>{6.5f, 6.5f, 6.5f})); // the row's neighbour cell grows with it
}

// A row taller than an empty page is cut between lines: each page keeps the lines that fit inside the
// cell's padding at its top and at its bottom, floor((60 mm - 2 × padding) / 5 mm).
TEST(Pagination, RowTallerThanAPageSplitsBetweenLines) {
    std::string longText; // 30 words of 9 characters: one word per line, 150 mm
    for (int i = 0; i < 30; ++i)
        longText += (i ? " " : "") + std::string(9, char('a' + i % 26));
    for (const auto& [padding, perPage] : std::vector<std::pair<const char*, std::vector<size_t>>>{
             {"0.5", {11, 11, 8}},
             {"3", {10, 10, 10}},
             {"2.5", {11, 11, 8}} /* 11 lines fill the page exactly */}) {
        std::string json = page("", "[]", "\"wrap\"");
        json.replace(json.find(R"("wrap": {"wrap": true)"), 9,
                     R"("wrap": {"padding": )" + std::string(padding) + ", ");
        Template t = LoadTemplateText(json);
        ReportData d = rows({{"Acme", 1}});
        d.rows[0][1] = ScalarValue::fromText(longText);
        LaidOutReport r = LayOut(t, d);
        std::vector<size_t> lines;
        std::string joined;
        for (const Page& p : r.pages) {
            const std::string cell = PageTexts(p)[2]; // page header, column header, then the cell
            lines.push_back(size_t(std::count(cell.begin(), cell.end(), '\n') + 1));
            joined += (joined.empty() ? "" : "\n") + cell;
        }
        EXPECT_EQ(lines, perPage) << "padding " << padding;
        std::string expected = longText; // every line printed once, in order
        std::replace(expected.begin(), expected.end(), ' ', '\n');
        EXPECT_EQ(joined, expected);
    }
}

// Twice the rows, twice the work (text measured) and twice the items: no step looks back over the pages.
TEST(Pagination, WorkAndItemsGrowLinearlyWithRows) {
    Template t = LoadTemplateText(page("", kCustomerGroup, "\"wrap\""));
    auto measure = [&](int n) {
        FixedMeasurer m(t);
        LaidOutReport r =
            Paginate(t, rows({{"A", n / 2}, {"B", n - n / 2}}, "some words to wrap in the cell"), m);
        size_t items = 0;
        for (const Page& p : r.pages)
            items += p.items.size();
        return std::pair<double, double>(double(m.measuredBytes), double(items));
    };
    const auto [work1, items1] = measure(10000);
    const auto [work2, items2] = measure(20000);
    EXPECT_NEAR(work2 / work1, 2.0, 0.05);
    EXPECT_NEAR(items2 / items1, 2.0, 0.05);
    EXPECT_LT(items1, 10000 * 3 + 10000 / 8 * 10); // a row: 2 cells and its wrapped lines; a page: ~8 more
    EXPECT_LE(sizeof(PageItem), 40u);
}

// The page count is filled in where {#pages} stood, also in text that wraps and breaks across pages; a
// value that holds the control character U+0001 prints as it is.
TEST(Pagination, PageCountGoesWhereItsReferenceStood) {
    const std::string header = R"(, "reportHeader": {"height": 6, "items": [
        {"type": "text", "x": 0, "y": 0, "w": 30, "h": 6, "style": "wrap",
         "text": "{$title} {#pages} aaaaaaaaa bbbbbbbbb ccccccccc ddddddddd eeeeeeeee fffffffff ggggggggg hhhhhhhhh iiiiiiiii jjjjjjjjj kkkkkkkkk lllllll{#pages} mmmmmmmmm nnnnnnnnn/{#pages}"}]})";
    Template t = LoadTemplateText(page(header));
    ReportData d = rows({{"Acme", 12}});
    d.parameters[0] = ScalarValue::fromText("x\x01y");
    LaidOutReport r = LayOut(t, d);
    ASSERT_EQ(r.pages.size(), 3u) << DescribePages(r);
    // Below the page header 65 mm are left: 12 of the header's 14 lines fit inside its padding, 2 go on; a
    // count that ends the last line kept stays with it.
    const std::string first(r.pages[0].textOf(r.pages[0].items[1]));
    EXPECT_EQ(first.substr(0, 26) + "..." + first.substr(first.size() - 9),
              "x\x01y 3 aaaaaaaaa\nbbbbbbbbb\n...\nlllllll3");
    // Page 2: page header, the column header once, the rest of the report header, the rows.
    const std::vector<std::string> second = PageTexts(r.pages[1]);
    ASSERT_GT(second.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(second.begin(), second.begin() + 4),
              (std::vector<std::string>{"x\x01y", "Item", "mmmmmmmmm\nnnnnnnnnn/3", "item 1"}));
}

// A report stops at its limits with the reason instead of taking the machine's memory: here a 5 m band
// on 10 mm pages, cut a page at a time, 500 pages a row (200 rows once made a million pages).
TEST(Pagination, LimitsStopAHostileReportWithTheReason) {
    Template t = LoadTemplateText(R"({"format": "verolux-report", "version": 1,
      "page": {"paper": "Custom", "width": 10, "height": 10, "margins": {"left": 0, "top": 0, "right": 0, "bottom": 0}},
      "bands": {"detail": {"height": 5000, "items": [{"type": "rect", "x": 0, "y": 0, "w": 5, "h": 5000}]}}})");
    ReportData d;
    d.rows.resize(201);
    LaidOutReport r = LayOut(t, d);
    EXPECT_EQ(r.error, "the report has more than 100000 pages");
    EXPECT_TRUE(r.pages.empty());
    d.rows.resize(200); // exactly the limit
    EXPECT_EQ(LayOut(t, d).pages.size(), kMaxReportPages);
    t.reportFooter.present = true; // one page more
    t.reportFooter.height = 5;
    EXPECT_EQ(LayOut(t, d).error, "the report has more than 100000 pages");

    const struct {
        void (*grow)(Template&);
        const char* error;
    } templates[] = {
        {[](Template& tt) { tt.detail.items.resize(kMaxTemplateItems + 1); },
         "the template has more than 100000 items"},
        {[](Template& tt) { tt.styles.resize(kMaxTemplateStyles + 1); },
         "the template has more than 100000 styles"},
        {[](Template& tt) {
             tt.groups.resize(kMaxGroupLevels + 1, Group{"g", {"item"}, false, true, {}, {}, {}});
         },
         "the template has more than 100 group levels"},
    };
    for (const auto& c : templates) {
        Template big = LoadTemplateText(page(""));
        c.grow(big);
        EXPECT_EQ(LayOut(big, rows({{"Acme", 1}})).error, c.error);
    }
    // Exactly the limit of group levels is laid out.
    Template deepest = LoadTemplateText(page(""));
    deepest.groups.resize(kMaxGroupLevels, Group{"g", {"item"}, false, true, {}, {}, {}});
    const LaidOutReport laid = LayOut(deepest, rows({{"Acme", 1}}));
    EXPECT_EQ(laid.error, "");
    EXPECT_EQ(laid.pages.size(), 1u);
}

// A group key of many kilobytes, wrapped in its row over many pages and repeated unwrapped in the group
// header on each: a page holds the part of the header's line that shows and its own lines of the row, and
// names the group shortened. Twice the value, twice the pages, text and work, not four times.
TEST(Pagination, LongGroupKeyOverManyPagesGrowsLinearly) {
    Template t = LoadTemplateText(page("", kCustomerGroup, "\"wrap\""));
    auto words = [](size_t bytes) { // "w000000 w000001 ...": one word a line in the 30 mm cell
        std::string value;
        for (int word = 0; value.size() < bytes; ++word)
            value += "w" + std::string(6 - std::to_string(word).size(), '0') + std::to_string(word) + " ";
        return value;
    };
    auto layOut = [&](size_t bytes, LaidOutReport& r) {
        FixedMeasurer m(t);
        r = Paginate(t, rows({{words(bytes), 1}}, words(bytes)), m);
        size_t text = 0;
        for (const Page& p : r.pages)
            text += p.text.size();
        return std::tuple<double, double, double>(double(r.pages.size()), double(text),
                                                  double(m.measuredBytes));
    };
    LaidOutReport small, large;
    const auto [pages1, text1, work1] = layOut(64 * 1024, small);
    const auto [pages2, text2, work2] = layOut(128 * 1024, large);
    ASSERT_GT(pages1, 100);
    EXPECT_NEAR(pages2 / pages1, 2.0, 0.02);
    EXPECT_NEAR(text2 / text1, 2.0, 0.02);
    EXPECT_NEAR(work2 / work1, 2.0, 0.02);
    // A page: its 11 lines of the row (8 bytes each), the header's line cut where it has run 165 mm
    // (twice its 80 mm and 5): 83 characters of 2 mm, and the page header and footer.
    EXPECT_LT(text1 / pages1, 250);
    EXPECT_EQ(std::string(large.pages[1].textOf(large.pages[1].items[2])), words(1024).substr(0, 83));
    // The row's cell keeps room for its lines on every page, the last one too: 11 lines take 56 mm, padding
    // included. (The head's padding was once taken from the rest on each page, until the last lines of a long
    // value were drawn outside their cell.)
    for (const Page& p : large.pages) {
        const std::string cell(p.textOf(p.items[3]));
        if (cell.empty() || cell[0] != 'w') continue;
        EXPECT_GE(p.items[3].h + 1e-3, CountLines(cell) * 5 + 1) << cell.substr(0, 16);
    }
    const std::string described = DescribePages(large);
    const size_t second = described.find("page 2:");
    EXPECT_EQ(described.substr(second, described.find("page 3:") - second),
              "page 2: rows 1-1, column header repeated, group '" + words(200) +
                  "...' continues (header repeated)\n");
}
