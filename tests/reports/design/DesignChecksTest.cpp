#include "agent/reports/design/DesignChecks.h"
#include "agent/reports/design/Clipboard.h"
#include "agent/reports/design/SampleData.h"
#include "agent/reports/design/StyleEdits.h"
#include "tests/reports/design/DesignTestSupport.h"

#include <algorithm>
#include <sstream>

using namespace verolux::reports;
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
