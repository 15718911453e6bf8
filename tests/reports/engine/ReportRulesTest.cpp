// The report object prints conditional formatting through the one painter path, and tells values that
// could not be computed once per layout.
#include "agent/reports/engine/PageCanvas.h"
#include "agent/reports/engine/Report.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

using namespace verolux;
using namespace verolux::reports;

namespace {

// Texts with their colours, and fills.
class TextCanvas : public PageCanvas {
  public:
    std::string log;
    void fillRect(const QRectF&, uint32_t color) override { log += "fill " + std::to_string(color) + "\n"; }
    void fillRects(const QVector<QRectF>&, uint32_t) override {}
    void drawLines(const QVector<QLineF>&, uint32_t, double) override {}
    void drawImage(const QRectF&, const QImage&, const void*) override {}
    void drawText(double, double, int, std::string_view text, uint32_t color) override {
        log += std::string(text) + " " + std::to_string(color) + "\n";
    }
    void pushClip(const QRectF&) override {}
    void popClip() override {}
};

const char* kTemplate = R"({"format": "verolux-report", "version": 1,
  "styles": {"big": {"color": "#FF0000", "background": "#FFFF00", "bold": true}},
  "fields": [{"name": "quantity", "type": "integer"}, {"name": "price", "type": "currency"}, {"name": "note"}],
  "bands": {"detail": {"height": 6, "items": [
    {"type": "text", "x": 0, "y": 0, "w": 40, "h": 6, "text": "{quantity*price}",
     "rules": [{"when": "quantity*price >= 100", "style": "big"}, {"when": "quantity = 0", "visible": false}]},
    {"type": "text", "x": 40, "y": 0, "w": 40, "h": 6, "text": "[{note*2}]"}]}}})";

} // namespace

TEST(ReportRules, RulesPaintAndUncomputableValuesAreLogged) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rules.grf"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(kTemplate);
    f.close();
    Report r;
    ASSERT_TRUE(r.LoadTemplate(path)) << r.lastError().toStdString();
    QStringList told;
    QObject::connect(&r, &Report::LayoutWarning, [&](const QString& w) { told << w; });
    r.PrepareRecords();
    for (auto [q, p, note] : {std::tuple{"2", "60", "x"}, {"1", "5", "y"}, {"0", "7", "z"}}) {
        r.AppendRecord();
        r.Fields().byName("quantity")->setValue(ScalarValue::fromNumber(q));
        r.Fields().byName("price")->setValue(ScalarValue::fromNumber(p));
        r.Fields().byName("note")->setValue(ScalarValue::fromText(note));
        r.PostRecord();
    }
    TextCanvas canvas;
    r.paintPage(0, canvas);
    EXPECT_EQ(canvas.log, "fill 4294967040\n"   // the yellow background of the first row only
                          "120.00 4294901760\n" // red
                          "[] 4278190080\n"
                          "5.00 4278190080\n" // black
                          "[] 4278190080\n"
                          "[] 4278190080\n"); // the third row's amount is hidden
    ASSERT_EQ(told.size(), 1);
    EXPECT_EQ(told[0].toStdString(),
              "bands.detail.items[1] {note*2}: cannot multiply the text \"x\": not a number");
    EXPECT_EQ(r.warnings(), told);
    // Saving writes the template's own styles, not those made for printing.
    ASSERT_TRUE(r.SaveTemplate(dir.filePath(QStringLiteral("saved.grf"))));
    Report again;
    ASSERT_TRUE(again.LoadTemplate(dir.filePath(QStringLiteral("saved.grf"))));
    EXPECT_EQ(again.reportTemplate().styles.size(), r.reportTemplate().styles.size());
}
