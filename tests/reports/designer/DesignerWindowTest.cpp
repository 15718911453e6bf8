#include "tools/verolux-designer/DesignerWindow.h"

#include "agent/reports/design/ItemEdits.h"
#include "agent/reports/designer/DesignCanvas.h"
#include "agent/reports/designer/ReportDesigner.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace verolux::reports;

namespace {

QString Sample(const char* name) {
    return QStringLiteral(VEROLUX_SOURCE_DIR "/demo/templates/") + QString::fromLatin1(name);
}

// Answers the next message box with `button` as soon as it shows.
void Answer(QMessageBox::StandardButton button) {
    QTimer::singleShot(0, [button] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box)
            box->button(button)->click();
        else
            Answer(button); // not shown yet
    });
}

class DesignerProgram : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        copy = dir.filePath(QStringLiteral("orders.grf"));
        ASSERT_TRUE(QFile::copy(Sample("orders.grf"), copy));
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // Moves the first detail item 1 mm right, as an edit from the user.
    void edit() {
        auto& doc = window.designer()->document();
        design::MoveItems(doc, {{{design::BandSlot::Detail}, 0}}, 1, 0);
        window.designer()->setEditsPending(true);
    }

    QTemporaryDir dir;
    QString copy;
    QSettings settings{dir.filePath(QStringLiteral("designer.ini")), QSettings::IniFormat};
    QString recovery = dir.filePath(QStringLiteral("recovery"));
    DesignerWindow window{settings, nullptr, recovery};
};

} // namespace

TEST_F(DesignerProgram, OpensAFileWithThePageReadyForKeysAndKeepsItWhenTheNextDoesNotLoad) {
    ASSERT_TRUE(window.openFile(copy));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("orders.grf[*] - 报表设计器"));
    EXPECT_FALSE(window.isWindowModified());
    EXPECT_TRUE(window.designer()->canvas()->hasFocus());
    EXPECT_EQ(window.recentFiles(), QStringList{copy});
    // A file that does not load leaves the design alone.
    const QString broken = dir.filePath(QStringLiteral("broken.grf"));
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\"format\": \"verolux-report\", \"version\": 1, \"bands\": {\"detail\": {}}}");
    f.close();
    QString error;
    EXPECT_FALSE(window.openFile(broken, &error));
    EXPECT_EQ(error, QStringLiteral("broken.grf: bands.detail: missing key \"height\""));
    EXPECT_EQ(window.filePath(), copy);
    EXPECT_EQ(window.designer()->document().tmpl().detail.items.size(), 7u);
}

TEST_F(DesignerProgram, SaveClearsTheMarkAndClosingWithUnsavedChangesAsks) {
    ASSERT_TRUE(window.openFile(copy));
    edit();
    EXPECT_TRUE(window.isWindowModified());
    ASSERT_TRUE(window.save());
    EXPECT_FALSE(window.isWindowModified());
    edit();
    Answer(QMessageBox::Cancel);
    EXPECT_FALSE(window.close()) << "cancel keeps the window";
    Answer(QMessageBox::Discard);
    EXPECT_TRUE(window.close());
    Report reread;
    ASSERT_TRUE(reread.LoadTemplate(copy));
    EXPECT_DOUBLE_EQ(reread.reportTemplate().detail.items[0].x, 1) << "the saved edit, not the discarded one";
}

TEST_F(DesignerProgram, NewStartsFromAPageWithTitleAndPageNumbers) {
    window.newTemplate();
    const Template& t = window.designer()->document().tmpl();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("新报表[*] - 报表设计器"));
    ASSERT_EQ(t.pageHeader.items.size(), 1u);
    // The heading prints the parameter title, whose default is the title the inspector shows (a
    // request's own title wins); {#title} would print the request's template name.
    EXPECT_EQ(t.pageHeader.items[0].text, "{$title}");
    ASSERT_EQ(t.parameters.size(), 1u);
    EXPECT_EQ(t.parameters[0].defaultValue, t.title);
    EXPECT_TRUE(t.detail.present);
    EXPECT_EQ(t.pageFooter.items[0].text, "第 {#page} 页 / 共 {#pages} 页");
    // Titles and cells dropped in fill their bands: 7 and 6 mm, no gap between bordered rows.
    EXPECT_DOUBLE_EQ(t.columnHeader.height, 7);
    EXPECT_DOUBLE_EQ(t.detail.height, 6);
}

TEST_F(DesignerProgram, OpensWithinTheScreenAndComesBackWhereItWasLeft) {
    const QRect free = window.screen()->availableGeometry();
    EXPECT_TRUE(free.contains(window.frameGeometry())) << "within " << free.width() << "x" << free.height();
    window.setGeometry(free.left() + 20, free.top() + 40, 600, 400);
    ASSERT_TRUE(window.close());
    DesignerWindow again(settings, nullptr, recovery);
    EXPECT_EQ(again.geometry(), QRect(free.left() + 20, free.top() + 40, 600, 400));
}

// A designer that ends without closing (a crash: its copy stays, its lock goes) leaves its edits to
// the next one, which asks; yes opens them, unsaved, named after their file.
TEST_F(DesignerProgram, AfterACrashTheNextStartOffersTheAutosavedDesign) {
    ASSERT_TRUE(window.openFile(copy));
    {
        DesignerWindow crashed(settings, nullptr, recovery);
        crashed.setAutosaveInterval(50);
        ASSERT_TRUE(crashed.openFile(copy));
        design::MoveItems(crashed.designer()->document(), {{{design::BandSlot::Detail}, 0}}, 7, 0);
        crashed.designer()->setEditsPending(true);
        QTRY_VERIFY_WITH_TIMEOUT(crashed.recovery().hasCopy(), 5000);
    } // gone without a close
    DesignerWindow next(settings, nullptr, recovery);
    next.show();
    Answer(QMessageBox::Yes);
    ASSERT_TRUE(next.offerRecovery());
    EXPECT_DOUBLE_EQ(next.designer()->document().tmpl().detail.items[0].x, 7);
    EXPECT_TRUE(next.isWindowModified());
    EXPECT_EQ(next.filePath(), QFileInfo(copy).absoluteFilePath());
    EXPECT_FALSE(window.offerRecovery()) << "offered once";
    // A normal save leaves nothing to recover.
    ASSERT_TRUE(next.save());
    EXPECT_FALSE(next.recovery().hasCopy());
}

TEST(DesignerProgramCommandLine, HelpPrintsTheUsageAndWrongArgumentsFail) {
    QProcess help;
    help.start(QStringLiteral(VEROLUX_BIN_DIR "/verolux-designer"), {QStringLiteral("--help")});
    ASSERT_TRUE(help.waitForFinished(10000));
    EXPECT_EQ(help.exitCode(), 0);
    EXPECT_TRUE(
        help.readAllStandardOutput().startsWith("usage: verolux-designer [FILE.grf] [--data REQUEST.json]"));
    QProcess wrong;
    wrong.start(QStringLiteral(VEROLUX_BIN_DIR "/verolux-designer"), {QStringLiteral("--nope")});
    ASSERT_TRUE(wrong.waitForFinished(10000));
    EXPECT_EQ(wrong.exitCode(), 2);
}
