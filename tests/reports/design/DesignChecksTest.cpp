#include "agent/reports/design/DesignChecks.h"
#include "agent/reports/design/Clipboard.h"
#include "agent/reports/design/RowValues.h"
#include "agent/reports/design/SampleData.h"
#include "agent/reports/design/StyleEdits.h"
#include "tests/reports/design/DesignTestSupport.h"

#include <algorithm>
#include <sstream>

using namespace verolux::reports;
using verolux::ScalarValue;
using namespace verolux::reports::design;
using designtest::LoadSample;
using designtest::Written;

TEST(DesignChecks, TheSamplesHaveNoProblems) {
    for (const char* name : {"orders.grf", "invoice.grf", "labels.grf"})
        for (const DesignProblem& p : CheckDesign(LoadSample(name)))
            ADD_FAILURE() << name << ": " << p.message;
}

TEST(DesignChecks, EachKindOfProblemIsFoundWithTheItemToSelect) {
    Template t = LoadSample("orders.grf");
    auto& d = t.detail.items;
    d[0].text = "{orderNum}";    // not declared
    d[1].h = 7;                  // below the 6 mm band
    d[6].w = 30;                 // 164 + 30 > 190
    d[5].x = 140;                // over {quantity}'s 130..144
    t.reportFooter.height = 300; // a taller detail would not fit, but only the detail band is checked
    t.detail.height = 280;       // 297 - 20 margins - 16 - 7 - 8 = 246 mm of room
    std::vector<std::string> found;
    for (const DesignProblem& p : CheckDesign(t))
        found.push_back(p.message);
    EXPECT_EQ(found, (std::vector<std::string>{
                         "明细带区高 280 毫米，超过页面上留给明细的 246 毫米",
                         "明细 第 1 项引用了未声明的名称“orderNum”",
                         "明细 第 6 项与第 5 项重叠",
                         "明细 第 7 项超出页面右边距",
                     }));
    t.detail.height = 6; // the 7 mm item now reaches below its band: its line selects it
    const auto problems = CheckDesign(t);
    EXPECT_TRUE(std::any_of(problems.begin(), problems.end(), [](const DesignProblem& p) {
        return p.kind == DesignProblem::Kind::OutsideBand && p.item == ItemRef{{BandSlot::Detail}, 1};
    }));
}

// Between templates: a style the other template lacks comes along with its base; a style it has by the
// same name is used as it is there.
TEST(DesignClipboard, StylesTravelWithTheirBases) {
    DesignDocument orders(LoadSample("orders.grf")), invoice(LoadSample("invoice.grf"));
    const std::string clip = CopyItems(orders.tmpl(), {{{BandSlot::Detail}, 6}, {{BandSlot::Detail}, 0}});
    const PasteResult r = PasteItems(invoice, clip, {BandSlot::Detail}, 2);
    ASSERT_TRUE(r.error.empty()) << r.error;
    ASSERT_EQ(r.items.size(), 2u);
    const Template& t = invoice.tmpl();
    const Item& money = *FindItem(t, r.items[0]);
    EXPECT_EQ(money.text, "{orderNo}") << "pasted in the order they had in their band";
    // invoice.grf has its own "cell" and "cellMoney": the pasted items use them.
    EXPECT_EQ(t.styles[size_t(FindItem(t, r.items[1])->style)].name, "cellMoney");
    EXPECT_EQ(invoice.selection(), r.items);
    ASSERT_TRUE(invoice.undo());
    EXPECT_EQ(Written(invoice), Written(DesignDocument(LoadSample("invoice.grf"))));

    Template empty;
    empty.detail.present = true;
    empty.detail.height = 10;
    DesignDocument fresh(empty);
    ASSERT_EQ(PasteItems(fresh, clip, {BandSlot::Detail}, 2).items.size(), 2u);
    ASSERT_GE(fresh.tmpl().findStyle("cell"), 0) << "the base of cellMoney came along";
    const TextStyle& cellMoney = fresh.tmpl().styles[size_t(fresh.tmpl().findStyle("cellMoney"))];
    EXPECT_EQ(cellMoney.base, "cell");
    EXPECT_TRUE(cellMoney.borders.any()) << "resolved from its base";
}

// A change to a style that others build on: they follow, and the saved file changes in that style's line
// only.
TEST(DesignStyles, AnEditChangesOnlyTheLinesItTouches) {
    DesignDocument doc(LoadSample("orders.grf"));
    const std::string before = Written(doc);
    ASSERT_TRUE(UpdateStyle(doc, doc.tmpl().findStyle("cell"), [](TextStyle& s) { s.padding = 2; }));
    EXPECT_EQ(doc.tmpl().styles[size_t(doc.tmpl().findStyle("cellMoney"))].padding, 2);
    std::istringstream a(before), b(Written(doc));
    std::vector<std::string> differing;
    for (std::string la, lb; std::getline(a, la) && std::getline(b, lb);)
        if (la != lb) differing.push_back(lb);
    EXPECT_EQ(differing, std::vector<std::string>{"    \"cell\": {\"borders\": \"all\", \"padding\": 2},"});

    ASSERT_TRUE(OverrideItemsStyle(doc, {{{BandSlot::Detail}, 6}}, "右对齐",
                                   [](TextStyle& s) { s.hAlign = HAlign::Center; }));
    const std::string written = Written(doc);
    EXPECT_NE(
        written.find("\"style\": {\"base\": \"cellMoney\", \"align\": \"center\"}, \"text\": \"{amount}\""),
        std::string::npos)
        << "an override is an inline style on its named one";
}

TEST(DesignSampleData, RowsFollowTypesAndGroupKeysRepeat) {
    const Template t = LoadSample("orders.grf");
    const auto rows = SampleRows(t, 7);
    ASSERT_EQ(rows.size(), 7u);
    // customer is the group key: the same for three rows, then the next.
    EXPECT_EQ(rows[0][0].text, "customer 1");
    EXPECT_EQ(rows[2][0].text, "customer 1");
    EXPECT_EQ(rows[3][0].text, "customer 2");
    EXPECT_EQ(rows[1][1].text, "orderNo 2");
    EXPECT_EQ(rows[0][2].text, "2024-03-01 09:30");
    EXPECT_EQ(rows[0][4].kind, verolux::ScalarValue::Kind::Number);
    EXPECT_EQ(SampleParameters(t)[1].text, "订单明细表") << "a parameter's default";
    // labels.grf draws {ean} as an EAN-13 barcode: its samples are valid codes. For 690100000000 the
    // weighted sum is 6 + 9·3 + 1·3 = 36, so the check digit is 4.
    const Template labels = LoadSample("labels.grf");
    EXPECT_EQ(SampleRows(labels, 1)[0][4].text, "6901000000004");
}

// Expressions: what cannot be read, where; names in expressions; sums and products of text fields, with
// the fix that makes the field a number of the type its sample values suggest.
TEST(DesignChecks, ExpressionsAndTextArithmetic) {
    DesignDocument doc(LoadSample("orders.grf"));
    Template& t = const_cast<Template&>(doc.tmpl());
    t.fields[5].type = "text"; // price
    t.detail.items[6].text = "{quantity*price}";
    t.detail.items[0].text = "单号 {round(orderNo, }";
    t.detail.items[1].text = "{quantity * prize}";
    t.detail.items[2].rules.push_back({"quantity >", "", false, {}});
    t.detail.items[3].text = "{sum(product)} {count(customer)}"; // a sum of text; a count is fine
    std::vector<std::string> found;
    for (const DesignProblem& p : CheckDesign(t))
        if (p.kind != DesignProblem::Kind::Overlap) found.push_back(p.message);
    EXPECT_EQ(found,
              (std::vector<std::string>{
                  "明细 第 1 项第 19 个字符：表达式无法计算（expected a value）",
                  "明细 第 2 项第 13 个字符：未声明的名称（\"prize\" is neither a field nor a parameter）",
                  "明细 第 3 项条件 1 第 11 个字符：表达式无法计算（expected a value）",
                  "明细 第 4 项用文本字段“product”计算，应改为数字类型",
                  "明细 第 7 项用文本字段“price”计算，应改为数字类型",
              }));
    ASSERT_TRUE(MakeFieldNumber(doc, "price", {ScalarValue::fromNumber("12.5"), ScalarValue::fromText("3")}));
    EXPECT_EQ(doc.tmpl().fields[5].type, "decimal");
    EXPECT_TRUE(doc.undo());
    EXPECT_TRUE(MakeFieldNumber(doc, "price", {ScalarValue::fromText("3"), {}}));
    EXPECT_EQ(doc.tmpl().fields[5].type, "integer");
    EXPECT_FALSE(MakeFieldNumber(doc, "nope", {}));
}

TEST(DesignRowValues, TextAndRulesOnTheFirstRowAndTypeGuesses) {
    Template t = LoadSample("orders.grf"); // customer orderNo orderDate product quantity price amount
    SampleRow row;
    row.fields = {ScalarValue::fromText("甲"),         ScalarValue::fromText("N1"),
                  ScalarValue::fromText("2024-05-01"), ScalarValue::fromText("笔"),
                  ScalarValue::fromNumber("3"),        ScalarValue::fromNumber("0.1"),
                  ScalarValue::fromNumber("0.2")};
    EXPECT_EQ(
        TextOnRow("{quantity*price} {price+amount} {sum(amount)} {customer & \"!\"} {nope} {1/0}", t, row),
        "0.30 0.30 0.20 甲!  ");
    EXPECT_EQ(TextOnRow("{quantity|0.0} 第{#page}页 {if(quantity>2, \"多\", \"少\")}", t, row),
              "3.0 第1页 多");
    Item it;
    it.rules = {
        {"customer * 2", "", true, {}}, {"quantity >= 5", "", true, {}}, {"price < 1", "", false, {}}};
    EXPECT_EQ(RuleOnRow(it, t, row), 2) << "a condition that cannot be computed does not hold";
    it.rules.pop_back();
    EXPECT_EQ(RuleOnRow(it, t, row), -1);
    const struct {
        std::vector<ScalarValue> values;
        const char* type;
    } guesses[] = {
        {{ScalarValue::fromNumber("3"), ScalarValue::fromText("12"), {}}, "integer"},
        {{ScalarValue::fromNumber("3"), ScalarValue::fromNumber("12.5")}, "decimal"},
        {{ScalarValue::fromText("2024-05-01"), ScalarValue::fromText("2024-05-02 10:00:00")}, "datetime"},
        {{ScalarValue::fromText("3"), ScalarValue::fromText("abc")}, "text"},
        {{ScalarValue::fromBool(true), ScalarValue::fromText("false")}, "boolean"},
        {{ScalarValue::fromBool(true), ScalarValue::fromNumber("1")}, "text"},
        {{}, "text"},
    };
    for (const auto& g : guesses)
        EXPECT_EQ(GuessFieldType(g.values), g.type);
    // A field just named takes the guess only while it has a new field's type and format.
    const auto field = [](const char* type, const char* format) {
        Declared d;
        d.name = "price";
        d.type = type;
        d.format = format;
        return d;
    };
    const std::vector<ScalarValue> prices{ScalarValue::fromText("368.00"), ScalarValue::fromText("149.00")};
    EXPECT_EQ(TypeForNewName(field("text", ""), prices), "decimal");
    EXPECT_EQ(TypeForNewName(field("text", ""), {ScalarValue::fromText("上海")}), std::nullopt);
    EXPECT_EQ(TypeForNewName(field("currency", ""), prices), std::nullopt) << "a type chosen stays";
    EXPECT_EQ(TypeForNewName(field("text", "0.00"), prices), std::nullopt);
}

TEST(DesignRowValues, InsertionsAreBracedOutsideReferencesOnly) {
    const std::string text = "合计 {quantity*} 元";
    EXPECT_EQ(Insertion(text, 0, "price"), "{price}");
    EXPECT_EQ(Insertion(text, 7, "price"), "{price}") << "on the opening brace: before the reference";
    EXPECT_EQ(Insertion(text, 8, "price"), "price");
    EXPECT_EQ(Insertion(text, 17, "price"), "price") << "before the closing brace";
    EXPECT_EQ(Insertion(text, 18, "price"), "{price}");
    EXPECT_EQ(AggregateReference("sum", "amount", "group"), "sum(amount, group)");
    EXPECT_EQ(AggregateReference("count", "amount", ""), "count(amount)");
}
