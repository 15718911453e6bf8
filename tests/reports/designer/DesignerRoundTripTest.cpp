// A template opened in the designer and saved without edits says what the file said (the same JSON
// values, keys the engine does not know included) and prints the same pages; edits undone give the
// same file again.
#include "agent/reports/designer/DesignCanvas.h"
#include "agent/reports/designer/ReportDesigner.h"
#include "tests/reports/engine/RoundTripHelpers.h"

#include "agent/reports/engine/Report.h"
#include "common/TextFile.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

using namespace verolux;
using namespace verolux::reports;
using namespace verolux::reports::roundtrip;

namespace {

std::string Sample(const char* name) {
    return ReadWholeFile(std::string(VEROLUX_SOURCE_DIR "/demo/templates/") + name);
}

// Opens `json` in the designer, lets its panels show it, and returns what saving it writes.
std::string OpenAndSave(ReportDesigner& designer, Report& report, const std::string& json) {
    auto parsed = ParseTemplate(json);
    EXPECT_TRUE(parsed) << parsed.error << "\n" << json;
    if (!parsed) return "";
    report.setTemplate(*parsed.tmpl);
    designer.BindReport(&report);
    designer.ReloadDesign();
    QApplication::processEvents();
    EXPECT_FALSE(designer.editsPending()) << "showing a template edited it";
    EXPECT_TRUE(designer.CommitDesign());
    return WriteTemplate(report.reportTemplate());
}

void ExpectSameThroughDesigner(ReportDesigner& designer, const std::string& json, const std::string& name) {
    Report report;
    const std::string saved = OpenAndSave(designer, report, json);
    ASSERT_EQ(jsonValue(saved), jsonValue(json)) << name;
    const Template original = LoadTemplateText(json), back = LoadTemplateText(saved);
    const ReportData d = sampleRows(original, 40);
    EXPECT_EQ(dumpPages(back, d), dumpPages(original, d)) << name;
}

class DesignerRoundTrip : public testing::Test {
  protected:
    void SetUp() override {
        designer.resize(1300, 900);
        designer.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&designer)); // the shortcuts need an active window
    }
    ReportDesigner designer;
};

} // namespace

TEST_F(DesignerRoundTrip, SamplesAndGeneratedTemplatesSayTheSameAndPrintTheSamePages) {
    for (const char* name : {"orders.grf", "invoice.grf", "labels.grf"})
        ExpectSameThroughDesigner(designer, Sample(name), name);
    TemplateGenerator gen(20261207); // unknown keys at every level, keys in any order
    for (int i = 0; i < 200 && !HasFailure(); ++i)
        ExpectSameThroughDesigner(designer, gen.make(), "template " + std::to_string(i));
}

// Edits made with the mouse and keys, all undone: the file saved is the one saved without edits.
TEST_F(DesignerRoundTrip, EditsUndoneSaveTheSameBytes) {
    Report report;
    const std::string plain = OpenAndSave(designer, report, Sample("invoice.grf"));
    QWidget* canvas = designer.canvas();
    for (int i = 0; i < 6; ++i)
        QTest::keyClick(canvas, Qt::Key_Tab); // the sixth item of the report header
    QTest::keyClick(canvas, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(canvas, Qt::Key_Down);
    QTest::keyClick(canvas, Qt::Key_D, Qt::ControlModifier); // a copy
    QTest::keyClick(canvas, Qt::Key_Delete);
    QTest::keyClick(canvas, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(canvas, Qt::Key_Left);
    ASSERT_EQ(designer.document().steps().count(), 5u); // selecting is no step
    for (int i = 0; i < 20 && designer.undoAction()->isEnabled(); ++i)
        QTest::keyClick(canvas, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_FALSE(designer.editsPending());
    ASSERT_TRUE(designer.CommitDesign());
    EXPECT_EQ(WriteTemplate(report.reportTemplate()), plain);
}
