// The preview answers the keyboard wherever the focus is in it, and its page counter and zoom can be
// typed into. Keys go through Qt's own key and shortcut delivery (QTest), as a user's keys do.
#include "agent/reports/engine/Report.h"
#include "agent/reports/viewer/PageView.h"
#include "agent/reports/viewer/ReportViewer.h"
#include "agent/reports/viewer/UiLanguage.h"
#include "tests/reports/printing/FillFromRequest.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPrintDialog>
#include <QSpontaneKeyEvent>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

#include <functional>

using namespace verolux::reports;

namespace {

class PreviewKeys : public testing::Test {
  protected:
    void SetUp() override {
        const QString error =
            testfill::LoadAndFill(report, QStringLiteral(VEROLUX_SOURCE_DIR "/demo/templates/orders.grf"),
                                  QStringLiteral(VEROLUX_SOURCE_DIR "/demo/requests/orders.json"));
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        viewer.resize(900, 700);
        viewer.BindReport(&report);
        viewer.StartPreview();
        viewer.show();
        viewer.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&viewer));
        pages = viewer.pageCount();
        ASSERT_GE(pages, 3);
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

    QWidget* toolButton(ReportViewer::Command command) {
        return viewer.toolBar()->widgetForAction(viewer.action(command));
    }

    Report report;
    ReportViewer viewer;
    int pages = 0;
};

TEST_F(PreviewKeys, DocumentedKeysWithTheFocusOnThePagesAndOnTheToolbar) {
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
            {Qt::Key_PageDown, Qt::NoModifier, 2, 1.0},
            {Qt::Key_PageDown, Qt::NoModifier, 3, 1.0},
            {Qt::Key_PageUp, Qt::NoModifier, 2, 1.0},
            {Qt::Key_End, Qt::NoModifier, pages, 1.0},
            {Qt::Key_Home, Qt::NoModifier, 1, 1.0},
            {Qt::Key_Plus, Qt::ControlModifier, 1, 1.25},
            {Qt::Key_Equal, Qt::ControlModifier, 1, 1.5},
            {Qt::Key_Minus, Qt::ControlModifier, 1, 1.25},
            {Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier, 1, 1.5},
        };
        for (const auto& step : steps) {
            QTest::keyClick(place.focus, Qt::Key(step.key), step.modifiers);
            EXPECT_EQ(viewer.currentPage(), step.page) << "key " << step.key;
            EXPECT_DOUBLE_EQ(viewer.zoom(), step.zoom) << "key " << step.key;
        }
        // Ctrl+P opens the print dialog (cancelled here); Esc ends the preview.
        EXPECT_TRUE(
            WithDialog<QPrintDialog>([&] { QTest::keyClick(place.focus, Qt::Key_P, Qt::ControlModifier); },
                                     [](QPrintDialog* d) { d->reject(); }));
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

TEST_F(PreviewKeys, ControlWheelZoomsOverThePagesAndOverTheToolbar) {
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

TEST_F(PreviewKeys, PageCounterAndZoomCanBeTypedInto) {
    auto* page = viewer.findChild<QLineEdit*>(QStringLiteral("pageCounter"));
    auto* zoom = viewer.findChild<QComboBox*>(QStringLiteral("zoomBox"));
    ASSERT_TRUE(page && zoom);
    auto type = [](QWidget* w, const QString& text) {
        w->setFocus();
        QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(w, text);
        QTest::keyClick(w, Qt::Key_Return);
    };
    type(page, QStringLiteral("3"));
    EXPECT_EQ(viewer.pageCounterText(), QStringLiteral("3 / %1").arg(pages));
    type(page, QStringLiteral("1"));
    EXPECT_EQ(viewer.currentPage(), 1);
    // Past the last page: the last page; no number: the counter shows the page in view again.
    type(page, QStringLiteral("99"));
    EXPECT_EQ(viewer.currentPage(), pages);
    type(page, QStringLiteral("x"));
    EXPECT_EQ(viewer.currentPage(), pages);
    EXPECT_EQ(page->text(), QString::number(pages));

    type(zoom->lineEdit(), QStringLiteral("135%"));
    EXPECT_DOUBLE_EQ(viewer.zoom(), 1.35);
    type(zoom->lineEdit(), QStringLiteral("62.5"));
    EXPECT_DOUBLE_EQ(viewer.zoom(), 0.625);
    EXPECT_EQ(viewer.zoomText(), QStringLiteral("63%"));
    type(zoom->lineEdit(), QStringLiteral("abc"));
    EXPECT_DOUBLE_EQ(viewer.zoom(), 0.625);
    EXPECT_EQ(viewer.zoomText(), QStringLiteral("63%"));
    // A step picked from the list.
    zoom->setCurrentIndex(zoom->findText(QStringLiteral("200%")));
    emit zoom->activated(zoom->currentIndex());
    EXPECT_DOUBLE_EQ(viewer.zoom(), 2.0);
}

TEST_F(PreviewKeys, TooltipsSpeakChineseAndNameTheirKey) {
    EXPECT_EQ(viewer.action(ReportViewer::CmdPrint)->toolTip(), QStringLiteral("打印 (Ctrl+P)"));
    EXPECT_EQ(viewer.action(ReportViewer::CmdNext)->toolTip(), QStringLiteral("下一页 (PgDown)"));
    EXPECT_EQ(viewer.action(ReportViewer::CmdExportPdf)->toolTip(), QStringLiteral("导出 PDF"));
}

// The export dialog opens in the documents folder (or the home folder without one), then where the
// last export went.
TEST_F(PreviewKeys, ExportDialogStartsInDocumentsThenInTheLastFolder) {
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

} // namespace
