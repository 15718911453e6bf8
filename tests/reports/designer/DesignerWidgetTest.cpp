#include "agent/reports/designer/DesignCanvas.h"
#include "agent/reports/designer/ReportDesigner.h"

#include "agent/reports/design/BandRef.h"
#include "agent/reports/engine/Report.h"

#include <QApplication>
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

// The control with the order list loaded, as the designer window sets it up.
class DesignerWithOrders : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(report.LoadTemplate(Sample("orders.grf"))) << report.lastError().toStdString();
        designer.resize(1000, 800);
        designer.show();
        designer.BindReport(&report);
        designer.ReloadDesign();
        designer.canvas()->setZoom(2.0);
        QApplication::processEvents();
    }

    const Item& item(ItemRef ref) { return *design::FindItem(designer.document().tmpl(), ref); }

    // Viewport point of a page point given in a band's coordinates.
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

    Report report;
    ReportDesigner designer;
};

const ItemRef kOrderNo{BandRef{BandSlot::Detail}, 0};

} // namespace

TEST_F(DesignerWithOrders, DragMovesAnItemOnTheGridAndUndoPutsItBack) {
    const Item before = item(kOrderNo);
    EXPECT_FALSE(designer.Setting(ReportDesigner::kSettingEditsPending).toBool());
    QSignalSpy pending(&designer, &ReportDesigner::editsPendingChanged);
    const double ppm = designer.canvas()->pixelsPerMm();
    // Grab the item 1 mm inside and drag 10.3 mm right: the grid (1 mm) puts it 10 mm further. (Edges
    // of the neighbours would catch it first: their guides are tested on their own.)
    designer.canvas()->snap().guides = false;
    const QPoint from = at(kOrderNo.band, before.x + 1, before.y + 2);
    drag(from, from + QPoint(int(10.3 * ppm), 0));
    EXPECT_DOUBLE_EQ(item(kOrderNo).x, before.x + 10);
    EXPECT_DOUBLE_EQ(item(kOrderNo).y, before.y);
    EXPECT_TRUE(designer.Setting(ReportDesigner::kSettingEditsPending).toBool());
    EXPECT_EQ(pending.count(), 1);

    QTest::keyClick(designer.canvas(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(item(kOrderNo).x, before.x);
    EXPECT_FALSE(designer.Setting(ReportDesigner::kSettingEditsPending).toBool());
}

TEST_F(DesignerWithOrders, CommitWritesTheDesignIntoTheReport) {
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, at(kOrderNo.band, item(kOrderNo).x + 1, 2));
    QTest::keyClick(designer.canvas(), Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_DOUBLE_EQ(report.reportTemplate().detail.items[0].x + 1, item(kOrderNo).x)
        << "the report keeps its template until the design is committed";
    ASSERT_TRUE(designer.CommitDesign());
    EXPECT_DOUBLE_EQ(report.reportTemplate().detail.items[0].x, item(kOrderNo).x);
}

TEST_F(DesignerWithOrders, OpenAndSaveKeysRaiseTheirSignals) {
    QSignalSpy open(&designer, &ReportDesigner::OpenRequested);
    QSignalSpy save(&designer, &ReportDesigner::SaveRequested);
    designer.canvas()->setFocus();
    QTest::keyClick(designer.canvas(), Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(designer.canvas(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(open.count(), 1);
    EXPECT_EQ(save.count(), 1);
}

TEST_F(DesignerWithOrders, SettingSevenIsTheEditsPendingFlag) {
    EXPECT_TRUE(designer.SetSetting(7, true));
    EXPECT_TRUE(designer.editsPending());
    EXPECT_TRUE(designer.SetSetting(7, false));
    EXPECT_FALSE(designer.editsPending());
    EXPECT_FALSE(designer.SetSetting(8, true)) << "unknown settings are refused";
    EXPECT_FALSE(designer.Setting(8).isValid());
}
