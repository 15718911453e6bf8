// A template opened in the designer and saved without edits says what the file said (the same JSON
// values, keys the engine does not know included) and prints the same pages; edits undone give the
// same file again.
#include "agent/reports/designer/DesignCanvas.h"
#include "agent/reports/designer/ReportDesigner.h"

#include "agent/reports/engine/Report.h"
#include "agent/reports/engine/RequestFill.h"
#include "common/JsonReader.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <simdjson.h>

#include <sstream>

using namespace verolux;
using namespace verolux::reports;

namespace {

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The JSON value without blanks, keys in their order.
std::string MinifiedJson(const QByteArray& text) {
    simdjson::dom::parser parser;
    simdjson::padded_string padded(text.constData(), size_t(text.size()));
    return simdjson::minify(parser.parse(padded).value());
}

// Every item of every page: where it is and what it says.
std::string Pages(Report& report) {
    std::ostringstream out;
    const LaidOutReport& r = report.layout();
    for (size_t n = 0; n < r.pages.size(); ++n) {
        out << "page " << n + 1 << "\n";
        for (const PageItem& it : r.pages[n].items)
            out << int(it.kind) << " " << it.x << "," << it.y << " " << it.w << "x" << it.h << " " << it.style
                << " [" << r.pages[n].textOf(it) << "]\n";
    }
    return out.str();
}

void Fill(Report& report, const QString& requestPath) {
    const QByteArray bytes = Read(requestPath);
    FillFromRequest(report, JsonDocument::Parse(std::string_view(bytes.constData(), size_t(bytes.size()))));
}

// Opens `path` in a designer, saves it to `saved` without an edit (as the designer window's 保存 does).
void OpenAndSave(const QString& path, const QString& saved) {
    Report report;
    ReportDesigner designer;
    designer.BindReport(&report);
    ASSERT_TRUE(report.LoadTemplate(path)) << report.lastError().toStdString();
    designer.ReloadDesign();
    ASSERT_TRUE(designer.CommitDesign());
    ASSERT_TRUE(report.SaveTemplate(saved)) << report.lastError().toStdString();
}

// Keys the engine does not read, at every level of the file.
const char kUnknownKeys[] = R"({
  "format": "verolux-report", "version": 1, "x-author": "财务部",
  "page": {"paper": "A5", "x-tray": 2, "margins": {"left": 12, "x-gutter": 3}},
  "styles": {"default": {"size": 9, "x-hint": true}, "cell": {"borders": {"left": true, "x-dash": [1, 2]}, "padding": 1}},
  "parameters": [{"name": "title", "x-label": "标题"}],
  "fields": [{"name": "amount", "type": "currency", "x-source": {"table": "orders"}}],
  "bands": {"x-note": null,
    "detail": {"height": 6, "x-band": 1, "columns": {"count": 2, "x-c": 0}, "items": [
      {"type": "text", "x": 0, "y": 0, "w": 40, "h": 6, "style": "cell", "text": "{amount}", "x-id": 7},
      {"type": "line", "x": 0, "y": 6, "w": 40, "h": 0, "x-dash": "2 1"}]}},
  "groups": [{"by": "amount", "x-g": 1, "footer": {"height": 5, "x-f": 2}}]
})";

class DesignerRoundTrip : public testing::TestWithParam<const char*> {};

} // namespace

TEST_P(DesignerRoundTrip, OpenedAndSavedSaysTheSameAndPrintsTheSamePages) {
    QTemporaryDir dir;
    const QString name = QString::fromLatin1(GetParam());
    const QString source =
        QStringLiteral(VEROLUX_SOURCE_DIR "/demo/templates/") + name + QStringLiteral(".grf");
    const QString saved = dir.filePath(QStringLiteral("saved.grf"));
    OpenAndSave(source, saved);
    EXPECT_EQ(MinifiedJson(Read(saved)), MinifiedJson(Read(source)));

    const QString request =
        QStringLiteral(VEROLUX_SOURCE_DIR "/demo/requests/") + name + QStringLiteral(".json");
    Report before, after;
    ASSERT_TRUE(before.LoadTemplate(source));
    ASSERT_TRUE(after.LoadTemplate(saved));
    Fill(before, request);
    Fill(after, request);
    EXPECT_EQ(Pages(after), Pages(before));
}

INSTANTIATE_TEST_SUITE_P(Samples, DesignerRoundTrip, testing::Values("orders", "invoice", "labels"));

TEST(DesignerRoundTripKeys, KeysTheEngineDoesNotKnowSurvive) {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("unknown.grf")),
                  saved = dir.filePath(QStringLiteral("saved.grf"));
    QFile f(source);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(kUnknownKeys);
    f.close();
    OpenAndSave(source, saved);
    EXPECT_EQ(MinifiedJson(Read(saved)), MinifiedJson(QByteArray(kUnknownKeys)));
}

// Edits made with the mouse and keys, all undone: the file saved is the one saved without edits.
TEST(DesignerRoundTripKeys, EditsUndoneSaveTheSameBytes) {
    QTemporaryDir dir;
    const QString source = QStringLiteral(VEROLUX_SOURCE_DIR "/demo/templates/invoice.grf");
    const QString plain = dir.filePath(QStringLiteral("plain.grf")),
                  edited = dir.filePath(QStringLiteral("edited.grf"));
    OpenAndSave(source, plain);

    Report report;
    ReportDesigner designer;
    designer.resize(1300, 900);
    designer.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&designer)); // the shortcuts need an active window
    designer.BindReport(&report);
    ASSERT_TRUE(report.LoadTemplate(source));
    designer.ReloadDesign();
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
    ASSERT_TRUE(report.SaveTemplate(edited));
    EXPECT_EQ(Read(edited), Read(plain));
}
