#include "tools/verolux-designer/DesignerWindow.h"

#include "agent/reports/design/ItemEdits.h"
#include "agent/reports/designer/DesignCanvas.h"
#include "agent/reports/designer/ReportDesigner.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
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
    DesignerWindow window{settings};
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
    EXPECT_EQ(t.pageHeader.items[0].text, "{#title}");
    EXPECT_TRUE(t.detail.present);
    EXPECT_EQ(t.pageFooter.items[0].text, "第 {#page} 页 / 共 {#pages} 页");
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
