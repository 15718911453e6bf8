#include "agent/reports/designer/DesignCanvas.h"
#include "agent/reports/designer/DesignRenderer.h"
#include "agent/reports/designer/ExplorerTree.h"
#include "agent/reports/designer/Inspector.h"
#include "agent/reports/designer/PreviewPane.h"
#include "agent/reports/designer/ReportDesigner.h"

#include "agent/reports/design/BandRef.h"
#include "agent/reports/design/ItemEdits.h"
#include "agent/reports/engine/Report.h"
#include "agent/reports/viewer/ReportViewer.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace verolux::reports;
using design::BandRef;
using design::BandSlot;
using design::ItemRef;

namespace {

QString Sample(const char* name) {
    return QStringLiteral(VEROLUX_SOURCE_DIR "/demo/templates/") + QString::fromLatin1(name);
}

// The control with the order list loaded, as the designer window sets it up, at 150 % with the
// whole width of the page in view and the edges of other items out of the way (their guides are
// tested on their own): only the 1 mm grid catches what moves.
class DesignerWithOrders : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(report.LoadTemplate(Sample("orders.grf"))) << report.lastError().toStdString();
        designer.resize(1400, 900);
        designer.setExplorerVisible(false);
        designer.setInspectorVisible(false);
        designer.setPreviewVisible(false);
        designer.show();
        designer.BindReport(&report);
        designer.ReloadDesign();
        designer.canvas()->setZoom(1.5);
        designer.canvas()->snap().guides = false;
        QApplication::processEvents();
    }

    const design::DesignDocument& doc() { return designer.document(); }
    const Item& item(ItemRef ref) { return *design::FindItem(doc().tmpl(), ref); }
    double ppm() { return designer.canvas()->pixelsPerMm(); }

    // Viewport point of a point given in a band's coordinates.
    QPoint at(BandRef band, double x, double y) {
        const auto* b = designer.canvas()->layout().find(band);
        return designer.canvas()->toView(designer.canvas()->layout().left + x, b->top + y).toPoint();
    }

    QWidget* viewport() { return designer.canvas()->viewport(); }

    // A mouse drag in steps, as a hand makes it.
    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers mods = {}) {
        QTest::mousePress(viewport(), Qt::LeftButton, mods, from);
        for (int i = 1; i <= 8; ++i) {
            const QPoint p = from + (to - from) * i / 8;
            QMouseEvent move(QEvent::MouseMove, p, viewport()->mapToGlobal(p), Qt::NoButton, Qt::LeftButton,
                             mods);
            QApplication::sendEvent(viewport(), &move);
        }
        QTest::mouseRelease(viewport(), Qt::LeftButton, mods, to);
    }

    void undo() { QTest::keyClick(designer.canvas(), Qt::Key_Z, Qt::ControlModifier); }

    Report report;
    ReportDesigner designer;
};

const BandRef kDetail{BandSlot::Detail};
const ItemRef kOrderNo{kDetail, 0};
const ItemRef kAmount{kDetail, 6};

} // namespace

TEST_F(DesignerWithOrders, DragMovesAnItemOnTheGridAndUndoPutsItBack) {
    const Item before = item(kOrderNo);
    EXPECT_FALSE(designer.Setting(ReportDesigner::kSettingEditsPending).toBool());
    QSignalSpy pending(&designer, &ReportDesigner::editsPendingChanged);
    // Grab the item 1 mm inside and drag 10.3 mm right and 0.2 mm down: the grid puts it 10 mm further.
    const QPoint from = at(kDetail, before.x + 1, before.y + 2);
    drag(from, from + QPoint(int(10.3 * ppm()), int(0.2 * ppm())));
    EXPECT_DOUBLE_EQ(item(kOrderNo).x, before.x + 10);
    EXPECT_DOUBLE_EQ(item(kOrderNo).y, before.y);
    EXPECT_TRUE(designer.Setting(ReportDesigner::kSettingEditsPending).toBool());
    EXPECT_EQ(pending.count(), 1);
    EXPECT_EQ(doc().steps().count(), 1u) << "one drag, one step";

    undo();
    EXPECT_DOUBLE_EQ(item(kOrderNo).x, before.x);
    EXPECT_FALSE(designer.Setting(ReportDesigner::kSettingEditsPending).toBool());
}

TEST_F(DesignerWithOrders, DraggingIntoAnotherBandMovesTheItemThere) {
    const Item before = item(kAmount);
    // Down by 6.2 mm: its top lands 0.2 mm into the group footer, which starts 6 mm below the detail band.
    const QPoint from = at(kDetail, before.x + 1, 1);
    drag(from, from + QPoint(0, int(6.2 * ppm())));
    EXPECT_EQ(doc().tmpl().detail.items.size(), 6u);
    const auto& footer = doc().tmpl().groups[0].footer.items;
    ASSERT_EQ(footer.size(), 4u);
    EXPECT_EQ(footer.back().text, "{amount}");
    EXPECT_DOUBLE_EQ(footer.back().y, 0);
    undo();
    EXPECT_EQ(item(kAmount).text, "{amount}");
}

TEST_F(DesignerWithOrders, AHandleResizesAndUndoRestores) {
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(kDetail, item(kAmount).x + 2, 2));
    ASSERT_EQ(doc().selection(), std::vector<ItemRef>{kAmount});
    const Item before = item(kAmount);
    // The bottom-right handle, 4.6 mm left and 3 mm down: the box becomes 21.4 → 21 mm wide (grid) and 9 mm
    // high.
    const QPoint handle = at(kDetail, before.x + before.w, before.h);
    drag(handle, handle + QPoint(-int(4.6 * ppm()), int(3 * ppm())));
    EXPECT_DOUBLE_EQ(item(kAmount).x, before.x);
    EXPECT_DOUBLE_EQ(item(kAmount).w, 21);
    EXPECT_DOUBLE_EQ(item(kAmount).h, 9);
    undo();
    EXPECT_DOUBLE_EQ(item(kAmount).w, before.w);
    EXPECT_DOUBLE_EQ(item(kAmount).h, before.h);
}

TEST_F(DesignerWithOrders, RubberBandSelectsWhatItEnclosesAndShiftAdds) {
    // Around the first two cells of the detail band, starting in the margin.
    drag(at(kDetail, -2, -0.5), at(kDetail, 47, 6.5));
    EXPECT_EQ(doc().selection(), (std::vector<ItemRef>{{kDetail, 0}, {kDetail, 1}}));
    // From right of the page's content back up and left over {amount} (starting on an item would move it).
    drag(at(kDetail, 191.5, 6.5), at(kDetail, 163, -0.3), Qt::ShiftModifier);
    EXPECT_EQ(doc().selection(), (std::vector<ItemRef>{{kDetail, 0}, {kDetail, 1}, kAmount}));
    EXPECT_FALSE(doc().steps().canUndo()) << "selecting changes nothing";
    QTest::keyClick(designer.canvas(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(doc().selection().size(), 28u) << "Ctrl+A takes every item of the page";
}

TEST_F(DesignerWithOrders, DraggingABandEdgeSetsItsHeight) {
    // The detail band's lower edge (6 mm) down by 3.2 mm: 9 mm on the grid.
    drag(at(kDetail, 60, 6), at(kDetail, 60, 6 + 3.2));
    EXPECT_DOUBLE_EQ(doc().tmpl().detail.height, 9);
    undo();
    EXPECT_DOUBLE_EQ(doc().tmpl().detail.height, 6);
}

TEST_F(DesignerWithOrders, AFieldDraggedFromTheTreeBecomesATextItemWhereItIsDropped) {
    designer.setExplorerVisible(true);
    ExplorerTree* tree = designer.explorer();
    const auto found = tree->findItems(QStringLiteral("product"), Qt::MatchStartsWith | Qt::MatchRecursive);
    ASSERT_EQ(found.size(), 1);
    std::unique_ptr<QMimeData> mime(tree->model()->mimeData({tree->indexFromItem(found.front())}));
    ASSERT_TRUE(mime);
    const QPoint drop = at(BandRef{BandSlot::ReportFooter}, 60.3, 10.2);
    QDragEnterEvent enter(drop, Qt::CopyAction, mime.get(), Qt::LeftButton, {});
    QApplication::sendEvent(viewport(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent dropEvent(drop, Qt::CopyAction, mime.get(), Qt::LeftButton, {});
    QApplication::sendEvent(viewport(), &dropEvent);
    const auto& footer = doc().tmpl().reportFooter.items;
    ASSERT_EQ(footer.size(), 5u);
    EXPECT_EQ(footer.back().text, "{product}");
    EXPECT_DOUBLE_EQ(footer.back().x, 60);
    EXPECT_DOUBLE_EQ(footer.back().y, 10);
    undo();
    EXPECT_EQ(doc().tmpl().reportFooter.items.size(), 4u);
}

TEST_F(DesignerWithOrders, DoubleClickEditsTheTextInPlace) {
    QTest::mouseDClick(viewport(), Qt::LeftButton, {}, at(kDetail, 2, 2));
    ASSERT_TRUE(designer.canvas()->textEditor());
    designer.canvas()->textEditor()->setPlainText(QStringLiteral("单号 {orderNo}"));
    QTest::keyClick(designer.canvas()->textEditor(), Qt::Key_Return);
    EXPECT_EQ(item(kOrderNo).text, "单号 {orderNo}");
    undo();
    EXPECT_EQ(item(kOrderNo).text, "{orderNo}");
}

TEST_F(DesignerWithOrders, TabStepsThroughTheItemsInPageOrderAndArrowsNudge) {
    ASSERT_TRUE(designer.canvas()->hasFocus()) << "the page has the keys once a template is shown";
    QTest::keyClick(designer.canvas(), Qt::Key_Tab);
    EXPECT_EQ(doc().selection(), (std::vector<ItemRef>{{{BandSlot::PageHeader}, 0}}))
        << "the title comes first";
    QTest::keyClick(designer.canvas(), Qt::Key_Backtab);
    QTest::keyClick(designer.canvas(), Qt::Key_Backtab);
    EXPECT_EQ(doc().selection(), (std::vector<ItemRef>{{{BandSlot::PageFooter}, 1}}))
        << "round to the last and back";
    // Arrows nudge by a tenth of a millimetre, with Shift by one.
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(kDetail, 2, 2));
    QTest::keyClick(designer.canvas(), Qt::Key_Right);
    QTest::keyClick(designer.canvas(), Qt::Key_Right);
    QTest::keyClick(designer.canvas(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_DOUBLE_EQ(item(kOrderNo).x, 0.2);
    EXPECT_DOUBLE_EQ(item(kOrderNo).y, 1);
}

TEST_F(DesignerWithOrders, ATextToolPlacesANewItemWhereTheUserClicks) {
    designer.canvas()->startPlacing(design::NewItem(ItemKind::Text, 0, 0));
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(BandRef{BandSlot::ReportFooter}, 100.4, 9.6));
    const auto& footer = doc().tmpl().reportFooter.items;
    ASSERT_EQ(footer.size(), 5u);
    EXPECT_DOUBLE_EQ(footer.back().x, 100);
    EXPECT_DOUBLE_EQ(footer.back().y, 10);
    EXPECT_DOUBLE_EQ(footer.back().h, 6) << "fits in the 16 mm band below y 10";
    EXPECT_FALSE(designer.canvas()->placing());
}

TEST_F(DesignerWithOrders, CopiedItemsPasteIntoAnotherDesigner) {
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(kDetail, item(kAmount).x + 2, 2));
    QTest::keyClick(designer.canvas(), Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(
        QApplication::clipboard()->mimeData()->hasFormat(QString::fromLatin1(ReportDesigner::kItemsMime)));

    Report other;
    ASSERT_TRUE(other.LoadTemplate(Sample("labels.grf")));
    ReportDesigner second;
    second.resize(900, 700);
    second.show();
    second.BindReport(&other);
    second.ReloadDesign();
    const size_t before = second.document().tmpl().detail.items.size();
    second.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&second));
    second.canvas()->setFocus();
    QTest::keyClick(second.canvas(), Qt::Key_V, Qt::ControlModifier);
    const Template& t = second.document().tmpl();
    ASSERT_EQ(t.detail.items.size(), before + 1);
    EXPECT_EQ(t.detail.items.back().text, "{amount}");
    EXPECT_GE(t.findStyle("cellMoney"), 0) << "its style came along";
}

TEST_F(DesignerWithOrders, TheInspectorChangesTheSelectionAndTheCommitGoesToTheReport) {
    designer.setInspectorVisible(true);
    QApplication::processEvents();
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(kDetail, 2, 2));
    // The first number field of the items' form is X.
    auto* x = designer.inspector()->findChild<QLineEdit*>();
    ASSERT_TRUE(x);
    x->setText(QStringLiteral("3.5"));
    QTest::keyClick(x, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(item(kOrderNo).x, 3.5);
    EXPECT_DOUBLE_EQ(report.reportTemplate().detail.items[0].x, 0)
        << "the report has its own copy until committed";
    ASSERT_TRUE(designer.CommitDesign());
    EXPECT_DOUBLE_EQ(report.reportTemplate().detail.items[0].x, 3.5);
}

TEST_F(DesignerWithOrders, ThePreviewFollowsAnEditShortlyAfter) {
    designer.setPreviewVisible(true);
    PreviewPane* preview = designer.preview();
    QTRY_VERIFY_WITH_TIMEOUT(!preview->pending() && preview->viewer()->pageCount() > 0, 5000);
    const int pages = preview->viewer()->pageCount();
    // A much taller detail band: the same 200 sample rows need more pages.
    drag(at(kDetail, 60, 6), at(kDetail, 60, 30));
    EXPECT_TRUE(preview->pending());
    QTRY_VERIFY_WITH_TIMEOUT(!preview->pending(), 5000);
    EXPECT_GT(preview->viewer()->pageCount(), pages);
    EXPECT_TRUE(designer.canvas()->hasFocus()) << "a refresh leaves the keys with the page";
}

TEST_F(DesignerWithOrders, OpenAndSaveKeysRaiseTheirSignalsAndSettingSevenIsEditsPending) {
    QSignalSpy open(&designer, &ReportDesigner::OpenRequested);
    QSignalSpy save(&designer, &ReportDesigner::SaveRequested);
    designer.canvas()->setFocus();
    QTest::keyClick(designer.canvas(), Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(designer.canvas(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(open.count(), 1);
    EXPECT_EQ(save.count(), 1);
    // Setting 7 is the edits-pending flag, a boolean; other settings are refused.
    EXPECT_TRUE(designer.SetSetting(7, true));
    EXPECT_TRUE(designer.editsPending());
    EXPECT_TRUE(designer.SetSetting(7, false));
    EXPECT_FALSE(designer.editsPending());
    EXPECT_FALSE(designer.SetSetting(8, true));
    EXPECT_FALSE(designer.SetSetting(7, QStringLiteral("no")));
    EXPECT_FALSE(designer.Setting(8).isValid());
}

// The page shows conditional formatting as the sample row makes it: hidden, another style, or none.
TEST(DesignRendererRules, TheSampleRowDecidesAsInPrint) {
    Report report;
    ASSERT_TRUE(report.LoadTemplate(Sample("orders.grf")));
    Template t = report.reportTemplate();
    design::SampleRow row;
    row.fields.assign(t.fields.size(), verolux::ScalarValue::fromNumber("100"));
    auto paint = [&](std::vector<StyleRule> rules, uint64_t generation) {
        t.detail.items[6].rules = std::move(rules);
        QImage img(280, 80, QImage::Format_ARGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        p.scale(10, 10);
        DesignRenderer r;
        r.sync(t, generation);
        r.setSampleRow(row);
        r.paint(p, {{&t.detail.items[6], 0.5, 0.5, 26, 6}});
        return img;
    };
    QImage blank(280, 80, QImage::Format_ARGB32);
    blank.fill(Qt::white);
    const QImage plain = paint({}, 1);
    EXPECT_NE(plain, blank);
    EXPECT_EQ(paint({{"amount > 50", "", false, {}}}, 2), blank);
    EXPECT_EQ(paint({{"amount > 500", "", false, {}}}, 3), plain) << "the condition does not hold";
    const QImage styled = paint({{"amount * 2 = 200", "total", true, {}}}, 4);
    EXPECT_NE(styled, plain) << "bold with rules above and below";
    EXPECT_EQ(paint({{"amount > 500", "", false, {}}, {"amount > 50", "total", true, {}}}, 5), styled)
        << "the first rule that holds";
}
