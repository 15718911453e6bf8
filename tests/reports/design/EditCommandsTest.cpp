// Every edit of the designer's core on the sample templates: what it changes (as lines of the design
// dump), and that its undo gives back the template exactly (the same bytes when saved).
#include "agent/reports/design/Arrange.h"
#include "agent/reports/design/Clipboard.h"
#include "agent/reports/design/DesignDump.h"
#include "agent/reports/design/DesignLayout.h"
#include "agent/reports/design/ItemEdits.h"
#include "agent/reports/design/ReferenceDrop.h"
#include "agent/reports/design/StructureEdits.h"
#include "agent/reports/design/StyleEdits.h"
#include "tests/reports/design/DesignTestSupport.h"

#include <functional>
#include <sstream>

using namespace verolux::reports;
using namespace verolux::reports::design;
using designtest::LoadSample;
using designtest::Written;

namespace {

const BandRef kDetail{BandSlot::Detail};
const BandRef kColumnHeader{BandSlot::ColumnHeader};
const BandRef kGroupFooter{BandSlot::GroupFooter, 0};

// 1 mm a byte: widths in the rows can be worked out by hand.
double ByteWidth(const TextStyle&, const std::string& text) {
    return double(text.size());
}

ItemRef D(int i) {
    return {kDetail, i};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// The lines of `after` that `before` does not have, in order: what an edit changed.
std::vector<std::string> Changed(const std::string& before, const std::string& after) {
    std::vector<std::string> a = Lines(before), out;
    for (const std::string& line : Lines(after))
        if (std::find(a.begin(), a.end(), line) == a.end()) out.push_back(line);
    return out;
}

struct EditCase {
    const char* name;
    std::function<bool(DesignDocument&)> edit;
    std::vector<std::string> changed;      // dump lines after the edit that were not there before
    std::vector<std::string> removed = {}; // dump lines before the edit that are gone (checked when given)
};

// On the order list sample (orders.grf). Indices: detail [0] {orderNo} 0,0 24x6 ... [6] {amount}.
const EditCase kOrdersCases[] = {
    {"move",
     [](DesignDocument& d) {
         return MoveItems(d, {D(0), D(1)}, 2.5, 0.1);
     },
     {"  [0] text 2.5,0.1 24x6 cell \"{orderNo}\"", "  [1] text 26.5,0.1 22x6 cell \"{orderDate}\""}},
    // Nothing goes above or left of its band.
    {"move clamps at the band's corner",
     [](DesignDocument& d) { return MoveItems(d, {D(1)}, -30, -1); },
     {"  [1] text 0,0 22x6 cell \"{orderDate}\""}},
    {"resize",
     [](DesignDocument& d) {
         return SetItemGeometry(d, {{D(6), {160, 0, 30, 5.5}}}, "调整大小");
     },
     {"  [6] text 160,0 30x5.5 cellMoney \"{amount}\""}},
    {"insert",
     [](DesignDocument& d) { return InsertItem(d, kDetail, NewItem(ItemKind::Rect, 1, 1)).index == 7; },
     {"  [7] rect 1,1 30x15 default"}},
    {"delete",
     [](DesignDocument& d) {
         return DeleteItems(d, {D(5), D(0)});
     },
     // {orderNo} and {price} are gone; the others move up in the list.
     {"  [0] text 24,0 22x6 cell \"{orderDate}\"", "  [1] text 46,0 40x6 cellWrap \"{customer}\"",
      "  [2] text 86,0 44x6 cellWrap \"{product}\"", "  [3] text 130,0 14x6 cellNum \"{quantity}\"",
      "  [4] text 164,0 26x6 cellMoney \"{amount}\""},
     {"  [0] text 0,0 24x6 cell \"{orderNo}\"", "  [1] text 24,0 22x6 cell \"{orderDate}\"",
      "  [2] text 46,0 40x6 cellWrap \"{customer}\"", "  [3] text 86,0 44x6 cellWrap \"{product}\"",
      "  [4] text 130,0 14x6 cellNum \"{quantity}\"", "  [5] text 144,0 20x6 cellMoney \"{price}\"",
      "  [6] text 164,0 26x6 cellMoney \"{amount}\""}},
    {"duplicate",
     [](DesignDocument& d) { return DuplicateItems(d, {D(0)}, 2); },
     {"  [7] text 2,0 24x6 cell \"{orderNo}\""}},
    {"paste into another band",
     [](DesignDocument& d) {
         return !PasteItems(d, CopyItems(d.tmpl(), {D(6)}), kGroupFooter, 2).items.empty();
     },
     {"  [3] text 164,0 26x6 cellMoney \"{amount}\""}},
    {"paste onto its original steps aside",
     [](DesignDocument& d) { return !PasteItems(d, CopyItems(d.tmpl(), {D(6)}), kDetail, 2).items.empty(); },
     {"  [7] text 166,0 26x6 cellMoney \"{amount}\""}},
    // From the 16 mm report footer (at y 9) into the 8 mm page footer: up by 7 mm to fit.
    {"paste from a taller band fits",
     [](DesignDocument& d) {
         return !PasteItems(d, CopyItems(d.tmpl(), {{{BandSlot::ReportFooter}, 3}}), {BandSlot::PageFooter},
                            2)
                     .items.empty();
     },
     {"  [3] text 0,2 190x6 smallRight \"金额大写：{sum(amount)|大写金额}\""}},
    // {customer}'s column is taken: the next free one, right of both bands' items; widths from the text
    // (1 mm a byte here: the wider of the two texts and a sample value, "商品名" 9 bytes with head's
    // padding) plus 1 mm, rounded up to the grid; heights of the bands.
    {"drop a field into the detail band",
     [](DesignDocument& d) {
         return !DropReference(d, kDetail, 60, 3, {"{product}", "商品名"}, ByteWidth, 1).empty();
     },
     {"  [7] text 190,0 15x7 head \"商品名\"", "  [7] text 190,0 15x6 cell \"{product}\""}},
    {"drop a field elsewhere",
     [](DesignDocument& d) {
         return !DropReference(d, {BandSlot::ReportFooter}, 20.4, 3.2, {"{product}", "商品名"}, ByteWidth, 1)
                     .empty();
     },
     {"  [4] text 20,3 14x6 default \"{product}\""}},
    {"align bottoms",
     [](DesignDocument& d) {
         return MoveItems(d, {D(2)}, 0, 3) && AlignItems(d, {D(1), D(2)}, Alignment::Bottoms);
     },
     {"  [1] text 24,3 22x6 cell \"{orderDate}\"", "  [2] text 46,3 40x6 cellWrap \"{customer}\""}},
    {"same width as the primary item",
     [](DesignDocument& d) {
         d.select({D(0), D(4)}, D(4));
         return MakeSameSize(d, d.selection(), true, false);
     },
     {"  [0] text 0,0 14x6 cell \"{orderNo}\""}},
    // 0..24, 22 wide, 164..190: a gap of (190 - 72) / 2 = 59 after each.
    {"distribute",
     [](DesignDocument& d) {
         return Distribute(d, {D(0), D(1), D(6)}, true);
     },
     {"  [1] text 83,0 22x6 cell \"{orderDate}\""}},
    {"bring to front",
     [](DesignDocument& d) { return BringToFront(d, {D(0)}); },
     {"  [0] text 24,0 22x6 cell \"{orderDate}\"", "  [1] text 46,0 40x6 cellWrap \"{customer}\"",
      "  [2] text 86,0 44x6 cellWrap \"{product}\"", "  [3] text 130,0 14x6 cellNum \"{quantity}\"",
      "  [4] text 144,0 20x6 cellMoney \"{price}\"", "  [5] text 164,0 26x6 cellMoney \"{amount}\"",
      "  [6] text 0,0 24x6 cell \"{orderNo}\""}},
    {"item style",
     [](DesignDocument& d) { return SetItemsStyle(d, {D(0)}, d.tmpl().findStyle("cellNum")); },
     {"  [0] text 0,0 24x6 cellNum \"{orderNo}\""}},
    {"item style override",
     [](DesignDocument& d) {
         return OverrideItemsStyle(d, {D(0)}, "居中", [](TextStyle& s) { s.hAlign = HAlign::Center; });
     },
     {"  [0] text 0,0 24x6 (inline) \"{orderNo}\""}},
    {"band height", [](DesignDocument& d) { return SetBandHeight(d, kDetail, 7.5); }, {"detail 7.5 mm"}},
    {"band off takes its items",
     [](DesignDocument& d) { return SetBandPresent(d, kColumnHeader, false); },
     {},
     {"columnHeader 7 mm", "  [0] text 0,0 24x7 head \"订单号\"", "  [1] text 24,0 22x7 head \"日期\"",
      "  [2] text 46,0 40x7 head \"客户\"", "  [3] text 86,0 44x7 head \"商品\"",
      "  [4] text 130,0 14x7 head \"数量\"", "  [5] text 144,0 20x7 head \"单价\"",
      "  [6] text 164,0 26x7 head \"金额\""}},
    {"detail columns",
     [](DesignDocument& d) {
         return bool(SetColumns(d, Columns{2, 90, 10, false}));
     },
     {"detail 6 mm columns 2"}},
    {"page set-up",
     [](DesignDocument& d) {
         PageSetup p = d.tmpl().page;
         p.paper = "A5";
         p.landscape = true;
         return bool(SetPage(d, p));
     },
     {"page A5 landscape 210x148 margins 10,10,10,10"}},
    // The parameter `title` defaulted to the old title: its default follows.
    {"title",
     [](DesignDocument& d) { return SetTitle(d, "订单"); },
     {"title 订单", "parameters company:text title:text=订单"}},
    {"add field",
     [](DesignDocument& d) {
         return bool(AddDeclared(d, DeclaredKind::Field, Declared{"memo", "text", "", "", {}}));
     },
     {"fields customer:text orderNo:text orderDate:datetime|yyyy-MM-dd product:text quantity:integer "
      "price:currency|#,##0.00 amount:currency|#,##0.00 memo:text"}},
    {"parameter default",
     [](DesignDocument& d) {
         return bool(
             UpdateDeclared(d, DeclaredKind::Parameter, 0, Declared{"company", "text", "", "维罗", {}}));
     },
     {"parameters company:text=维罗 title:text=订单明细表"}},
    {"rename a field with its references",
     [](DesignDocument& d) { return bool(RenameDeclared(d, DeclaredKind::Field, 6, "total", true)); },
     {"fields customer:text orderNo:text orderDate:datetime|yyyy-MM-dd product:text quantity:integer "
      "price:currency|#,##0.00 total:currency|#,##0.00",
      "  [6] text 164,0 26x6 cellMoney \"{total}\"", "  [2] text 144,0 46x7 subMoney \"{sum(total)}\"",
      "  [2] text 144,1 46x7 totalMoney \"{sum(total)}\"",
      "  [3] text 0,9 190x6 smallRight \"金额大写：{sum(total)|大写金额}\"",
      "  [1] text 0,2 95x5 small \"本页金额：{sum(total, page)|#,##0.00}\""}},
    {"rename a group key field",
     [](DesignDocument& d) { return bool(RenameDeclared(d, DeclaredKind::Field, 0, "client", true)); },
     {"fields client:text orderNo:text orderDate:datetime|yyyy-MM-dd product:text quantity:integer "
      "price:currency|#,##0.00 amount:currency|#,##0.00",
      "group customer by client", "  [0] text 0,1 190x7 group \"客户：{client}\"",
      "  [2] text 46,0 40x6 cellWrap \"{client}\"",
      "  [0] text 0,0 130x7 sub \"{client} 小计（{count()} 笔）\""}},
    {"delete parameter",
     [](DesignDocument& d) { return DeleteDeclared(d, DeclaredKind::Parameter, 0); },
     {"parameters title:text=订单明细表"}},
    {"add group",
     [](DesignDocument& d) { return bool(AddGroup(d, 1, "", "orderDate")); },
     {"group orderDate by orderDate", "groups[1].header 8 mm", "groups[1].footer 8 mm"}},
    {"group options",
     [](DesignDocument& d) {
         return bool(UpdateGroup(d, 0, [](Group& g) {
             g.newPage = true;
             g.footer.present = false;
         }));
     },
     {"group customer by customer newPage"}},
    {"remove group",
     [](DesignDocument& d) { return RemoveGroup(d, 0); },
     {},
     {"group customer by customer", "groups[0].header 8 mm",
      "  [0] text 0,1 190x7 group \"客户：{customer}\"", "groups[0].footer 7 mm",
      "  [0] text 0,0 130x7 sub \"{customer} 小计（{count()} 笔）\"",
      "  [1] text 130,0 14x7 subNum \"{sum(quantity)}\"",
      "  [2] text 144,0 46x7 subMoney \"{sum(amount)}\""}},
    {"band options",
     [](DesignDocument& d) {
         return UpdateBand(d, {BandSlot::GroupFooter, 0}, "带区选项", [](Band& b) {
             b.keepTogether = true;
             b.keepWithDetail = true;
         });
     },
     {"groups[0].footer 7 mm keepTogether keepWithDetail"}},
    {"conditional formatting",
     [](DesignDocument& d) {
         return UpdateItems(d, {D(6)}, "条件格式", [](Item& it) {
             it.rules.push_back({"amount >= 10000", "total", false, {}});
         });
     },
     {"  [6] text 164,0 26x6 cellMoney \"{amount}\" when(amount >= 10000) total hidden"}},
    {"add style",
     [](DesignDocument& d) { return bool(AddStyle(d, "note", d.tmpl().findStyle("small"))); },
     {"styles default title small smallRight head cell cellWrap cellNum cellMoney group sub subNum subMoney "
      "total "
      "totalNum totalMoney rule note"}},
    {"delete a style in use",
     [](DesignDocument& d) { return DeleteStyle(d, d.tmpl().findStyle("head")); },
     {"styles default title small smallRight cell cellWrap cellNum cellMoney group sub subNum subMoney total "
      "totalNum totalMoney rule",
      "  [0] text 0,0 24x7 default \"订单号\"", "  [1] text 24,0 22x7 default \"日期\"",
      "  [2] text 46,0 40x7 default \"客户\"", "  [3] text 86,0 44x7 default \"商品\"",
      "  [4] text 130,0 14x7 default \"数量\"", "  [5] text 144,0 20x7 default \"单价\"",
      "  [6] text 164,0 26x7 default \"金额\""}},
};

class OrdersEdit : public testing::TestWithParam<EditCase> {};

} // namespace

TEST_P(OrdersEdit, ChangesWhatItSaysAndUndoesToTheSameBytes) {
    const EditCase& c = GetParam();
    DesignDocument doc(LoadSample("orders.grf"));
    const std::string dump = DescribeDesign(doc.tmpl()), file = Written(doc);
    ASSERT_TRUE(c.edit(doc)) << "the edit changed nothing";
    ASSERT_FALSE(c.changed.empty() && c.removed.empty()) << "a row says what the edit changes";
    const std::string after = DescribeDesign(doc.tmpl());
    EXPECT_EQ(Changed(dump, after), c.changed);
    if (!c.removed.empty()) {
        EXPECT_EQ(Changed(after, dump), c.removed);
    }
    EXPECT_NE(Written(doc), file);
    while (doc.undo()) {
    }
    EXPECT_EQ(Written(doc), file);
    EXPECT_FALSE(doc.modified());
}

INSTANTIATE_TEST_SUITE_P(Samples, OrdersEdit, testing::ValuesIn(kOrdersCases), designtest::RowName<EditCase>);

// Every case one after the other on each sample, then undo all of it: the file comes back byte for byte,
// and redo all of it gives the edited file again.
TEST(DesignEdits, UndoOfEverythingRestoresEachSampleByteForByte) {
    for (const char* name : {"orders.grf", "invoice.grf", "labels.grf"}) {
        SCOPED_TRACE(name);
        DesignDocument doc(LoadSample(name));
        const std::string file = Written(doc);
        int applied = 0;
        for (const EditCase& c : kOrdersCases) {
            // Some cases need the order list's bands or names; on the other samples they may not apply.
            if (c.edit(doc)) ++applied;
        }
        ASSERT_GT(applied, 10);
        const std::string edited = Written(doc);
        while (doc.undo()) {
        }
        EXPECT_EQ(Written(doc), file);
        while (doc.redo()) {
        }
        EXPECT_EQ(Written(doc), edited);
    }
}

TEST(DesignEdits, RefusedEditsSayWhyAndChangeNothing) {
    DesignDocument doc(LoadSample("orders.grf"));
    const std::string file = Written(doc);
    PageSetup tooWide = doc.tmpl().page;
    tooWide.marginLeft = 150;
    tooWide.marginRight = 80;
    EXPECT_EQ(SetPage(doc, tooWide).error, "页边距太大，页面上没有空间");
    EXPECT_EQ(AddDeclared(doc, DeclaredKind::Field, Declared{"amount", "text", "", "", {}}).error,
              "名称“amount”已经存在");
    EXPECT_EQ(RenameDeclared(doc, DeclaredKind::Parameter, 0, "", true).error, "名称不能为空");
    EXPECT_EQ(SetColumns(doc, Columns{3, 70, 0, false}).error, "明细分栏放不下");
    // 16 + 7 + 8 mm of page header, column header and page footer on 148 - 2 x 58.5 = 31 mm.
    PageSetup full = doc.tmpl().page;
    full.paper = "A5";
    full.landscape = true;
    full.width = 148, full.height = 210;
    full.marginTop = full.marginBottom = 58.5;
    EXPECT_EQ(SetPage(doc, full).error, "页眉、列标题和页脚占满了页面，明细行没有空间");
    EXPECT_EQ(RenameStyle(doc, 0, "base").error, "默认样式不能改名");
    EXPECT_EQ(SetStyleBase(doc, doc.tmpl().findStyle("cell"), "cellMoney").error,
              "样式的基础样式不能绕回到它自己");
    EXPECT_EQ(UpdateGroup(doc, 0, [](Group& g) { g.fields.clear(); }).error, "分组需要至少一个字段");
    EXPECT_EQ(PasteItems(doc, "not json", kDetail, 2).items.size(), 0u);
    EXPECT_EQ(Written(doc), file);
    EXPECT_FALSE(doc.steps().canUndo());
}

// Tab steps through items as they are read, not as they were made.
TEST(DesignOrder, ReadingOrderIsTopToBottomThenLeftToRight) {
    DesignDocument doc(LoadSample("orders.grf"));
    ASSERT_TRUE(BringToFront(doc, {D(0)}));      // {orderNo} made last, still leftmost
    ASSERT_TRUE(MoveItems(doc, {D(2)}, 0, 0.5)); // {product} a little lower than the rest of the row
    const std::vector<ItemRef> order = ReadingOrder(doc.tmpl(), LayOutDesign(doc.tmpl()));
    std::vector<int> detail;
    for (const ItemRef& r : order)
        if (r.band == kDetail) detail.push_back(r.index);
    EXPECT_EQ(detail, (std::vector<int>{6, 0, 1, 3, 4, 5, 2}));
    EXPECT_EQ(order.front().band.slot, BandSlot::PageHeader);
    EXPECT_EQ(order.back().band.slot, BandSlot::PageFooter);
}

// A band turned off keeps nothing: turned on again it is empty.
TEST(DesignEdits, ABandTurnedOffAndOnAgainIsEmpty) {
    DesignDocument doc(LoadSample("orders.grf"));
    ASSERT_TRUE(SetBandPresent(doc, kColumnHeader, false));
    ASSERT_TRUE(SetBandPresent(doc, kColumnHeader, true));
    EXPECT_TRUE(doc.tmpl().columnHeader.items.empty());
    EXPECT_DOUBLE_EQ(doc.tmpl().columnHeader.height, 7) << "its height stays";
}

// Only the parameter called title follows the title, and only from the old title.
TEST(DesignEdits, TheTitleTakesAlongOnlyTheTitleParameter) {
    Template t = LoadSample("orders.grf");
    t.parameters[0].defaultValue = t.title; // company, by chance the same text
    DesignDocument doc(t);
    ASSERT_TRUE(SetTitle(doc, "订单"));
    EXPECT_EQ(doc.tmpl().parameters[0].defaultValue, "订单明细表");
    EXPECT_EQ(doc.tmpl().parameters[1].defaultValue, "订单");
}

// Two items on one inline style (as a file may have them): a look changed on one leaves the other.
TEST(DesignEdits, AnOverrideOnAnItemSharingAnInlineStyleLeavesTheOtherAlone) {
    DesignDocument doc(LoadSample("orders.grf"));
    ASSERT_TRUE(OverrideItemsStyle(doc, {D(0)}, "o", [](TextStyle& s) { s.bold = true; }));
    const int shared = doc.tmpl().detail.items[0].style;
    ASSERT_TRUE(UpdateItems(doc, {D(1)}, "s", [shared](Item& it) { it.style = shared; }));
    ASSERT_TRUE(OverrideItemsStyle(doc, {D(1)}, "o", [](TextStyle& s) { s.italic = true; }));
    EXPECT_FALSE(doc.tmpl().styles[size_t(doc.tmpl().detail.items[0].style)].italic);
    EXPECT_TRUE(doc.tmpl().styles[size_t(doc.tmpl().detail.items[1].style)].italic);
}

// The column header reaching further right than the detail band still decides the next free column;
// a header that was never there gets the height the starter gives it.
TEST(DesignEdits, ADroppedColumnClearsBothBandsAndTurnsTheHeaderOn) {
    DesignDocument doc(LoadSample("orders.grf"));
    ASSERT_TRUE(DeleteItems(doc, {D(6)})); // the detail band now ends at 164, its header at 190
    const auto refs = DropReference(doc, kDetail, 60, 0, {"{amount}", "金额"}, ByteWidth, 1);
    ASSERT_EQ(refs.size(), 2u);
    EXPECT_DOUBLE_EQ(FindItem(doc.tmpl(), refs[0])->x, 190);
    Template empty;
    empty.detail.present = true;
    empty.detail.height = 6;
    DesignDocument fresh(empty);
    ASSERT_EQ(DropReference(fresh, kDetail, 0, 0, {"{x}", "x"}, ByteWidth, 1).size(), 2u);
    EXPECT_TRUE(fresh.tmpl().columnHeader.present);
    EXPECT_DOUBLE_EQ(fresh.tmpl().columnHeader.height, 7);
}
