#include "agent/reports/viewer/ReportViewer.h"
#include "agent/reports/viewer/PageView.h"
#include "agent/reports/viewer/ViewerReportAccess.h"
#include "tests/reports/printing/FillFromRequest.h"

#include "agent/reports/engine/Report.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QToolBar>

#include <gtest/gtest.h>

#include <memory>

using namespace verolux::reports;

namespace {

QString Sample(const char* name, const char* kind) {
    return QStringLiteral(VEROLUX_SOURCE_DIR "/demo/%1/%2")
        .arg(QString::fromLatin1(kind), QString::fromLatin1(name));
}

// A viewer showing the order list sample (80 rows, several pages), sized like a small window.
class ViewerWithOrders : public testing::Test {
  protected:
    void SetUp() override {
        const QString error = testfill::LoadAndFill(report, Sample("orders.grf", "templates"),
                                                    Sample("orders.json", "requests"));
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        pages = report.pageCount();
        ASSERT_GE(pages, 3) << "the sample must span several pages for paging tests";
        viewer.resize(900, 700);
        viewer.show();
    }

    void start() {
        viewer.BindReport(&report);
        viewer.StartPreview();
        QApplication::processEvents();
    }

    // Share of non-white pixels inside the first page as it appears on screen.
    double inkOnFirstPage() {
        const QImage shot = viewer.pageView()->viewport()->grab().toImage();
        int ink = 0, total = 0;
        // The page sits centred below a 16 px gap; sample its upper half.
        for (int y = 40; y < shot.height() / 2; y += 2)
            for (int x = shot.width() / 4; x < shot.width() * 3 / 4; x += 2) {
                ++total;
                if (qGray(shot.pixel(x, y)) < 160) ++ink;
            }
        return total ? double(ink) / total : 0;
    }

    Report report;
    ReportViewer viewer;
    int pages = 0;
};

QString Counter(int current, int count) {
    return QStringLiteral("%1 / %2").arg(current).arg(count);
}

} // namespace

TEST_F(ViewerWithOrders, EmptyUntilAReportIsBound) {
    EXPECT_EQ(viewer.pageCounterText(), QStringLiteral("0 / 0"));
    EXPECT_EQ(viewer.currentPage(), 0);
    EXPECT_FALSE(viewer.action(ReportViewer::CmdNext)->isEnabled());
    EXPECT_FALSE(viewer.action(ReportViewer::CmdPrint)->isEnabled());
    // Paging without pages must be harmless.
    viewer.nextPage();
    viewer.lastPage();
    viewer.fitWidth();
    EXPECT_EQ(viewer.pageCounterText(), QStringLiteral("0 / 0"));
}

TEST_F(ViewerWithOrders, StartPreviewShowsTheFirstOfAllPages) {
    start();
    EXPECT_EQ(viewer.pageCount(), pages);
    EXPECT_EQ(viewer.pageCounterText(), Counter(1, pages));
    EXPECT_FALSE(viewer.action(ReportViewer::CmdPrevious)->isEnabled());
    EXPECT_TRUE(viewer.action(ReportViewer::CmdNext)->isEnabled());
    EXPECT_TRUE(viewer.action(ReportViewer::CmdPrint)->isEnabled());
    EXPECT_TRUE(viewer.action(ReportViewer::CmdExportPdf)->isEnabled());
    // The page is really painted by the engine: dark text and rules on the white page.
    EXPECT_GT(inkOnFirstPage(), 0.01);
    EXPECT_GE(viewer.pageView()->cachedImageCount(), 1);
}

TEST_F(ViewerWithOrders, NavigationThroughToolbarActions) {
    start();
    struct Step {
        ReportViewer::Command command;
        int expected;
    };
    const Step steps[] = {
        {ReportViewer::CmdNext, 2},     {ReportViewer::CmdNext, 3},  {ReportViewer::CmdPrevious, 2},
        {ReportViewer::CmdLast, pages}, {ReportViewer::CmdFirst, 1},
    };
    for (const Step& s : steps) {
        viewer.action(s.command)->trigger();
        QApplication::processEvents();
        EXPECT_EQ(viewer.pageCounterText(), Counter(s.expected, pages)) << "after command " << s.command;
    }
}

TEST_F(ViewerWithOrders, PagingStopsAtBothEnds) {
    start();
    viewer.previousPage();
    EXPECT_EQ(viewer.currentPage(), 1);
    viewer.lastPage();
    EXPECT_FALSE(viewer.action(ReportViewer::CmdNext)->isEnabled());
    EXPECT_FALSE(viewer.action(ReportViewer::CmdLast)->isEnabled());
    viewer.nextPage();
    EXPECT_EQ(viewer.currentPage(), pages);
    viewer.goToPage(pages + 10);
    EXPECT_EQ(viewer.currentPage(), pages);
    viewer.goToPage(-3);
    EXPECT_EQ(viewer.currentPage(), 1);
}

TEST_F(ViewerWithOrders, ScrollingUpdatesTheCounter) {
    start();
    QScrollBar* bar = viewer.pageView()->verticalScrollBar();
    bar->setValue(bar->maximum());
    QApplication::processEvents();
    EXPECT_EQ(viewer.currentPage(), pages);
    bar->setValue(0);
    EXPECT_EQ(viewer.currentPage(), 1);
}

TEST_F(ViewerWithOrders, ZoomStepsAndLabel) {
    start();
    EXPECT_DOUBLE_EQ(viewer.zoom(), 1.0);
    viewer.action(ReportViewer::CmdZoomIn)->trigger();
    EXPECT_DOUBLE_EQ(viewer.zoom(), 1.25);
    viewer.zoomOut();
    viewer.zoomOut();
    EXPECT_DOUBLE_EQ(viewer.zoom(), 0.75);
    EXPECT_EQ(viewer.zoomText(), QStringLiteral("75%"));
    // Zooming keeps the reader on the page they were reading.
    viewer.goToPage(3);
    viewer.zoomIn();
    EXPECT_EQ(viewer.currentPage(), 3);
}

TEST_F(ViewerWithOrders, FitWidthAndFitPageFollowTheWindow) {
    start();
    PageView* view = viewer.pageView();
    const double mmToPx = view->dpi() / 25.4;
    viewer.fitWidth();
    const double pageWidthPx = viewer.zoom() * report.pageSizeMm().width() * mmToPx;
    EXPECT_NEAR(pageWidthPx, view->viewport()->width() - 2 * ViewerGeometry::kGap, 24.0);

    viewer.fitPage();
    const double pageHeightPx = viewer.zoom() * report.pageSizeMm().height() * mmToPx;
    EXPECT_LE(pageHeightPx, view->viewport()->height() - 2 * ViewerGeometry::kGap + 1);
    EXPECT_GT(pageHeightPx, view->viewport()->height() - 2 * ViewerGeometry::kGap - 24);

    // A fitted page stays fitted when the window grows.
    const double before = viewer.zoom();
    viewer.resize(900, 1100);
    QApplication::processEvents();
    EXPECT_GT(viewer.zoom(), before);
}

TEST_F(ViewerWithOrders, FixedSettingsOfThePreviewWindow) {
    // The exact calls the preview window makes before binding.
    EXPECT_TRUE(viewer.SetSetting(145, 2));
    EXPECT_TRUE(viewer.CallOperation(63, 1));
    EXPECT_TRUE(viewer.CallOperation(63, 19));
    EXPECT_TRUE(viewer.CallOperation(67));
    start();
    EXPECT_EQ(viewer.viewMode(), ViewMode::Continuous);
    EXPECT_TRUE(viewer.action(ReportViewer::CmdPrint)->isVisible());
    EXPECT_TRUE(viewer.action(ReportViewer::CmdExportPdf)->isVisible());
    // 67 was called before there were pages: it must take effect when the preview starts.
    const double fitted = ViewerGeometry::FitWidth(
        {{report.pageSizeMm().width(), report.pageSizeMm().height()}},
        viewer.pageView()->viewport()->width() - viewer.pageView()->verticalScrollBar()->sizeHint().width(),
        viewer.pageView()->dpi());
    EXPECT_NEAR(viewer.zoom(), fitted, 0.02);
    EXPECT_EQ(viewer.pageCounterText(), Counter(1, pages));
}

TEST_F(ViewerWithOrders, UnknownSettingsAreIgnored) {
    EXPECT_FALSE(viewer.SetSetting(145, 7));
    EXPECT_FALSE(viewer.SetSetting(145, QStringLiteral("x")));
    EXPECT_FALSE(viewer.SetSetting(999, 1));
    EXPECT_FALSE(viewer.CallOperation(63, 999));
    EXPECT_FALSE(viewer.CallOperation(64));
    EXPECT_FALSE(viewer.CallOperation(67, 1));
    EXPECT_EQ(viewer.viewMode(), ViewMode::Continuous);
}

TEST_F(ViewerWithOrders, SinglePageModePagesOneAtATime) {
    ASSERT_TRUE(viewer.SetSetting(145, 1));
    start();
    EXPECT_EQ(viewer.viewMode(), ViewMode::SinglePage);
    viewer.nextPage();
    EXPECT_EQ(viewer.pageCounterText(), Counter(2, pages));
    viewer.lastPage();
    EXPECT_EQ(viewer.pageCounterText(), Counter(pages, pages));
    // Switching back to continuous keeps the page.
    ASSERT_TRUE(viewer.SetSetting(145, 2));
    EXPECT_EQ(viewer.currentPage(), pages);
}

TEST_F(ViewerWithOrders, CloseEmitsPreviewEndedOnce) {
    start();
    int ended = 0;
    QObject::connect(&viewer, &ReportViewer::PreviewEnded, [&] { ++ended; });
    viewer.action(ReportViewer::CmdClose)->trigger();
    EXPECT_EQ(ended, 1);
}

TEST_F(ViewerWithOrders, RebindingShowsTheNewReport) {
    start();
    viewer.lastPage();
    Report invoice;
    const QString error = testfill::LoadAndFill(invoice, Sample("invoice.grf", "templates"),
                                                Sample("invoice.json", "requests"));
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    viewer.BindReport(&invoice);
    viewer.StartPreview();
    EXPECT_EQ(viewer.pageCounterText(), Counter(1, invoice.pageCount()));
}

TEST(ReportViewerLifetime, ReportDestroyedBeforeTheViewerIsNotPainted) {
    ReportViewer viewer;
    viewer.resize(600, 500);
    viewer.show();
    {
        auto report = std::make_unique<Report>();
        ASSERT_TRUE(testfill::LoadAndFill(*report, Sample("labels.grf", "templates"),
                                          Sample("labels.json", "requests"))
                        .isEmpty());
        viewer.BindReport(report.get());
        viewer.StartPreview();
    }
    // Zooming repaints every page; with the report gone this must draw blank pages, not crash.
    viewer.zoomIn();
    viewer.grab();
    viewer.StartPreview();
    EXPECT_EQ(viewer.pageCounterText(), QStringLiteral("0 / 0"));
}

TEST(ReportViewerLifetime, ReportWithoutRowsStillHasAPage) {
    Report report;
    ASSERT_TRUE(report.LoadTemplate(Sample("invoice.grf", "templates")));
    report.PrepareRecords();
    ReportViewer viewer;
    viewer.BindReport(&report);
    viewer.StartPreview();
    EXPECT_EQ(viewer.pageCounterText(), QStringLiteral("1 / 1"));
}

// An A4 page at 800 % is 57 million pixels: such pages are painted in the visible part only and never
// cached whole, so zooming in cannot exhaust memory.
TEST_F(ViewerWithOrders, DeepZoomPaintsOnlyTheVisiblePart) {
    start();
    viewer.grab();
    EXPECT_GE(viewer.pageView()->cachedImageCount(), 1);
    for (int i = 0; i < 20; ++i)
        viewer.zoomIn();
    ASSERT_DOUBLE_EQ(viewer.zoom(), ViewerGeometry::kMaxZoom);
    EXPECT_FALSE(viewer.action(ReportViewer::CmdZoomIn)->isEnabled());
    const QImage shot = viewer.pageView()->viewport()->grab().toImage();
    EXPECT_EQ(viewer.pageView()->cachedImageCount(), 0);
    // The page (white) fills most of the view instead of the grey desk.
    int white = 0, total = 0;
    for (int y = 0; y < shot.height(); y += 4)
        for (int x = 0; x < shot.width(); x += 4, ++total)
            if (qGray(shot.pixel(x, y)) > 240) ++white;
    EXPECT_GT(white, total / 2);
}
