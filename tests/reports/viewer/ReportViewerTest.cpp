#include "agent/reports/viewer/ReportViewer.h"
#include "agent/reports/viewer/PageView.h"
#include "agent/reports/viewer/ViewerReportAccess.h"
#include "tests/reports/printing/FillFromRequest.h"

#include "agent/reports/engine/Report.h"

#include "agent/reports/viewer/UiLanguage.h"

#ifdef Q_OS_WIN
#include "tests/reports/viewer/NativeDialogs.h"
#endif

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QPrintDialog>
#include <QScrollBar>
#include <QSpontaneKeyEvent>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace verolux::reports;

namespace {

QString Sample(const char* name, const char* kind) {
    return QStringLiteral(VEROLUX_SOURCE_DIR "/demo/%1/%2")
        .arg(QString::fromLatin1(kind), QString::fromLatin1(name));
}

#ifdef Q_OS_WIN
// Calls `shown` with every widget that shows while it filters the application's events.
class ShowWatcher : public QObject {
  public:
    explicit ShowWatcher(std::function<void(QObject*)> shown) : m_shown(std::move(shown)) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) m_shown(watched);
        return false;
    }

  private:
    std::function<void(QObject*)> m_shown;
};
#endif

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

    // Started, with the window active: keys reach it as a user's keys do (through QTest).
    void startActive() {
        start();
        viewer.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&viewer));
    }

    // Runs `action` while a modal dialog of type T is answered by `answer` as soon as it shows.
    template <typename T>
    bool WithDialog(const std::function<void()>& action, const std::function<void(T*)>& answer) {
        bool seen = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
                poll.stop();
                seen = true;
                answer(dialog);
            }
        });
        poll.start(10);
        action();
        return seen;
    }

    // Runs `action`, which must open the print dialog, and cancels that dialog.
    bool PrintDialogCancelled(const std::function<void()>& action) {
#ifdef Q_OS_WIN
        // Windows's print dialog is the system's (PrintDlgEx), not a Qt widget: Qt shows its QPrintDialog,
        // hidden, for as long as the system's dialog runs. That QPrintDialog is seen here, and the
        // system's dialog cancelled as a user would. With no native window to own it (the offscreen
        // platform of these tests) the system refuses the dialog at once, as it does any ownerless one.
        bool seen = false, cancelled = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (CancelNativeDialogs() > 0) cancelled = true;
        });
        poll.start(10);
        ShowWatcher watcher([&](QObject* shown) {
            if (auto* dialog = qobject_cast<QPrintDialog*>(shown);
                dialog && dialog->parentWidget() == &viewer)
                seen = true;
        });
        qApp->installEventFilter(&watcher);
        action();
        qApp->removeEventFilter(&watcher);
        return seen && (cancelled || QGuiApplication::platformName() == QStringLiteral("offscreen"));
#else
        return WithDialog<QPrintDialog>(action, [](QPrintDialog* d) { d->reject(); });
#endif
    }

    QWidget* toolButton(ReportViewer::Command command) {
        return viewer.toolBar()->widgetForAction(viewer.action(command));
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
    // Tooltips speak Chinese and name their key.
    EXPECT_EQ(viewer.action(ReportViewer::CmdPrint)->toolTip(), QStringLiteral("打印 (Ctrl+P)"));
    EXPECT_EQ(viewer.action(ReportViewer::CmdNext)->toolTip(), QStringLiteral("下一页 (PgDown)"));
    EXPECT_EQ(viewer.action(ReportViewer::CmdExportPdf)->toolTip(), QStringLiteral("导出 PDF"));
    // The page is really painted by the engine: dark text and rules on the white page.
    EXPECT_GT(inkOnFirstPage(), 0.01);
    EXPECT_GE(viewer.pageView()->cachedImageCount(), 1);
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

TEST_F(ViewerWithOrders, FixedSettingsOfThePreviewWindowAndNoOthers) {
    for (int mode : {7, 0})
        EXPECT_FALSE(viewer.SetSetting(145, mode));
    EXPECT_FALSE(viewer.SetSetting(145, QStringLiteral("x")));
    EXPECT_FALSE(viewer.SetSetting(999, 1));
    EXPECT_FALSE(viewer.CallOperation(63, 999));
    EXPECT_FALSE(viewer.CallOperation(64));
    EXPECT_FALSE(viewer.CallOperation(67, 1));
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

// Rebinding shows the new report; one without rows still has its page.
TEST_F(ViewerWithOrders, RebindingShowsTheNewReportEvenWithoutRows) {
    start();
    viewer.lastPage();
    Report invoice;
    ASSERT_TRUE(invoice.LoadTemplate(Sample("invoice.grf", "templates")));
    invoice.PrepareRecords();
    viewer.BindReport(&invoice);
    viewer.StartPreview();
    EXPECT_EQ(viewer.pageCounterText(), QStringLiteral("1 / 1"));
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

TEST_F(ViewerWithOrders, DocumentedKeysWithTheFocusOnThePagesAndOnTheToolbar) {
    startActive();
    const struct {
        const char* name;
        QWidget* focus;
    } places[] = {{"page view", viewer.pageView()}, {"toolbar button", toolButton(ReportViewer::CmdFitPage)}};
    for (const auto& place : places) {
        SCOPED_TRACE(place.name);
        viewer.goToPage(1);
        viewer.pageView()->setZoom(1.0);
        place.focus->setFocus();
        ASSERT_TRUE(place.focus->hasFocus());
        const struct {
            int key;
            Qt::KeyboardModifiers modifiers;
            int page;
            double zoom;
        } steps[] = {
            // Paging stops at both ends; zooming keeps the reader on their page.
            {Qt::Key_PageDown, Qt::NoModifier, 2, 1.0},
            {Qt::Key_PageDown, Qt::NoModifier, 3, 1.0},
            {Qt::Key_End, Qt::NoModifier, pages, 1.0},
            {Qt::Key_PageDown, Qt::NoModifier, pages, 1.0},
            {Qt::Key_Home, Qt::NoModifier, 1, 1.0},
            {Qt::Key_PageUp, Qt::NoModifier, 1, 1.0},
            {Qt::Key_PageDown, Qt::NoModifier, 2, 1.0},
            {Qt::Key_Plus, Qt::ControlModifier, 2, 1.25},
            {Qt::Key_Equal, Qt::ControlModifier, 2, 1.5},
            {Qt::Key_Minus, Qt::ControlModifier, 2, 1.25},
            {Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier, 2, 1.5},
        };
        for (const auto& step : steps) {
            QTest::keyClick(place.focus, Qt::Key(step.key), step.modifiers);
            EXPECT_EQ(viewer.currentPage(), step.page) << "key " << step.key;
            EXPECT_DOUBLE_EQ(viewer.zoom(), step.zoom) << "key " << step.key;
        }
        // Ctrl+P opens the print dialog (cancelled here); Esc ends the preview.
        EXPECT_TRUE(
            PrintDialogCancelled([&] { QTest::keyClick(place.focus, Qt::Key_P, Qt::ControlModifier); }));
        // The closed dialog hands the focus back.
        viewer.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&viewer));
        place.focus->setFocus();
        int ended = 0;
        auto c = QObject::connect(&viewer, &ReportViewer::PreviewEnded, [&] { ++ended; });
        QTest::keyClick(place.focus, Qt::Key_Escape);
        QObject::disconnect(c);
        EXPECT_EQ(ended, 1);
    }
}

TEST_F(ViewerWithOrders, ControlWheelZoomsOverThePagesAndOverTheToolbar) {
    startActive();
    // As the window system delivers it: to the widget under the mouse, passed up while ignored.
    auto wheel = [](QWidget* target, int delta) {
        const QPointF at(target->width() / 2.0, target->height() / 2.0);
        QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QSpontaneKeyEvent::setSpontaneous(&event);
        QApplication::sendEvent(target, &event);
    };
    for (QWidget* target :
         {static_cast<QWidget*>(viewer.pageView()->viewport()), toolButton(ReportViewer::CmdFitPage)}) {
        viewer.pageView()->setZoom(1.0);
        wheel(target, 120);
        EXPECT_DOUBLE_EQ(viewer.zoom(), 1.25) << target->metaObject()->className();
        wheel(target, -120);
        wheel(target, -120);
        EXPECT_DOUBLE_EQ(viewer.zoom(), 0.75) << target->metaObject()->className();
    }
}

TEST_F(ViewerWithOrders, PageCounterAndZoomCanBeTypedInto) {
    startActive();
    auto* page = viewer.findChild<QLineEdit*>(QStringLiteral("pageCounter"));
    auto* zoom = viewer.findChild<QComboBox*>(QStringLiteral("zoomBox"));
    ASSERT_TRUE(page && zoom);
    auto type = [](QWidget* w, const QString& text) {
        w->setFocus();
        QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(w, text);
        QTest::keyClick(w, Qt::Key_Return);
    };
    type(page, QStringLiteral("2"));
    EXPECT_EQ(viewer.pageCounterText(), Counter(2, pages));
    // Past the last page: the last page; no number: the counter shows the page in view again.
    type(page, QStringLiteral("99"));
    EXPECT_EQ(viewer.currentPage(), pages);
    type(page, QStringLiteral("x"));
    EXPECT_EQ(page->text(), QString::number(pages));

    // Which texts the zoom box takes is the geometry's table; here, that it is heard and shown.
    type(zoom->lineEdit(), QStringLiteral("62.5"));
    EXPECT_DOUBLE_EQ(viewer.zoom(), 0.625);
    type(zoom->lineEdit(), QStringLiteral("abc"));
    EXPECT_EQ(viewer.zoomText(), QStringLiteral("63%"));
    // A step picked from the list.
    zoom->setCurrentIndex(zoom->findText(QStringLiteral("200%")));
    emit zoom->activated(zoom->currentIndex());
    EXPECT_DOUBLE_EQ(viewer.zoom(), 2.0);
}

// The export dialog opens in the documents folder (or the home folder without one), then where the
// last export went.
TEST_F(ViewerWithOrders, ExportDialogStartsInDocumentsThenInTheLastFolder) {
    startActive();
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QDir(documents).exists()) documents = QDir::homePath();
    QTemporaryDir elsewhere;
    ASSERT_TRUE(elsewhere.isValid());
    QString first, second;
    auto exportVia = [&](QString* startedIn, const QString& saveAs) {
        return WithDialog<QFileDialog>([&] { viewer.action(ReportViewer::CmdExportPdf)->trigger(); },
                                       [&](QFileDialog* d) {
                                           *startedIn = d->directory().absolutePath();
                                           if (saveAs.isEmpty()) {
                                               d->reject();
                                               return;
                                           }
                                           d->selectFile(saveAs);
                                           QMetaObject::invokeMethod(d, "accept");
                                       });
    };
    // Run from another working directory: the dialog must not start there.
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(elsewhere.path());
    ASSERT_TRUE(exportVia(&first, QDir(elsewhere.path()).filePath(QStringLiteral("orders.pdf"))));
    ASSERT_TRUE(exportVia(&second, QString()));
    QDir::setCurrent(cwd);
    EXPECT_EQ(first, QDir(documents).absolutePath());
    EXPECT_EQ(second, QDir(elsewhere.path()).absolutePath());
    EXPECT_TRUE(QFileInfo::exists(QDir(elsewhere.path()).filePath(QStringLiteral("orders.pdf"))));
}

TEST(QtTranslations, QtsOwnDialogsSpeakChinese) {
    ASSERT_TRUE(InstallQtTranslations(*QCoreApplication::instance())) << "qt6-translations-l10n missing";
    EXPECT_EQ(QCoreApplication::translate("QPrintDialog", "Print"), QStringLiteral("打印"));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
}
