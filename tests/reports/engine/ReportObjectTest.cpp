// The report object as the report windows drive it: collections counted from 1, values by name,
// records in order, templates loaded, saved and cleared, failures reported and survived.
#include "agent/reports/engine/Report.h"
#include "agent/reports/layout/PageLayout.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace verolux;
using namespace verolux::reports;

namespace {

const QString kOrders = QStringLiteral(VEROLUX_SOURCE_DIR "/demo/templates/orders.grf");

std::string allText(Report& r) {
    std::string out;
    for (const Page& p : r.layout().pages)
        for (const PageItem& it : p.items)
            out += std::string(p.textOf(it)) + '|';
    return out;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Collections count from 1 in template order; items out of range and unknown names are ignored. Saved,
// loaded again and cleared.
TEST(ReportObject, CollectionsSaveLoadAndClear) {
    Report r;
    ASSERT_TRUE(r.LoadTemplate(kOrders)) << r.lastError().toStdString();
    ASSERT_EQ(r.Parameters().count(), 2);
    EXPECT_EQ(r.Parameters().item(1).Name(), QStringLiteral("company"));
    EXPECT_EQ(r.Parameters().item(2).Name(), QStringLiteral("title"));
    ASSERT_EQ(r.Fields().count(), 7);
    EXPECT_EQ(r.Fields().item(1).Name(), QStringLiteral("customer"));
    EXPECT_EQ(r.Fields().item(7).Name(), QStringLiteral("amount"));
    // The declared default of a parameter holds until the caller sets a value.
    EXPECT_EQ(r.Parameters().item(2).Value(), ScalarValue::fromText("订单明细表"));
    r.Parameters().item(0).setValue(ScalarValue::fromText("x"));
    r.Parameters().item(3).setValue(ScalarValue::fromText("x"));
    r.Fields().item(-5).setValue(ScalarValue::fromText("x"));
    EXPECT_TRUE(r.Parameters().item(3).Value().isEmpty());
    EXPECT_EQ(r.Parameters().byName("nosuch"), nullptr);
    EXPECT_EQ(r.Parameters().item(1).Value(), ScalarValue::empty());
    EXPECT_EQ(r.pageCount(), 1);

    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("copy.grf"));
    ASSERT_TRUE(r.SaveTemplate(copy));
    Report again;
    ASSERT_TRUE(again.LoadTemplate(copy)) << again.lastError().toStdString();
    EXPECT_EQ(again.Fields().count(), 7);
    again.ClearTemplate();
    EXPECT_EQ(again.Fields().count() + again.Parameters().count(), 0);
    EXPECT_EQ(again.pageCount(), 1);
    EXPECT_FALSE(r.SaveTemplate(dir.filePath(QStringLiteral("no/such/dir/x.grf"))));
    EXPECT_FALSE(r.lastError().isEmpty());
}

// Records in order with their values is the fill function's test (test_report_windows); here the
// record protocol itself.
TEST(ReportObject, OnlyAppendedRecordsArePostedAndPrepareEmptiesThem) {
    Report r;
    ASSERT_TRUE(r.LoadTemplate(kOrders));
    r.PrepareRecords();
    r.AppendRecord();
    r.Fields().byName("orderNo")->setValue(ScalarValue::fromText("SO-1"));
    r.PostRecord();
    r.PostRecord(); // without AppendRecord: nothing is added
    EXPECT_EQ(r.recordCount(), 1);
    // AppendRecord starts from empty fields, not from the previous row's values.
    r.AppendRecord();
    r.PostRecord();
    ASSERT_EQ(r.recordCount(), 2);
    const std::string text = allText(r);
    ASSERT_NE(text.find("SO-1|"), std::string::npos) << text;
    EXPECT_EQ(text.find("SO-1|"), text.rfind("SO-1|")) << text;
    r.PrepareRecords();
    EXPECT_EQ(r.recordCount(), 0);
}

TEST(ReportObject, BrokenTemplatesFailWithReasonAndLeaveAnEmptyReport) {
    QTemporaryDir dir;
    const struct {
        const char* name;
        QByteArray bytes;
        const char* reason;
    } cases[] = {
        {"bad.grf", "{\"format\": \"verolux-report\", \"version\": 1,",
         "bad.grf: not valid JSON: line 1, column 43"},
        {"binary.grf", QByteArray("\x00\xFF\xFE{", 4), "binary.grf: not valid JSON"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Report r;
        ASSERT_TRUE(r.LoadTemplate(kOrders));
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        writeFile(path, c.bytes);
        EXPECT_FALSE(r.LoadTemplate(path));
        EXPECT_TRUE(r.lastError().startsWith(QString::fromUtf8(c.reason))) << r.lastError().toStdString();
        EXPECT_EQ(r.Parameters().count() + r.Fields().count(), 0);
        EXPECT_EQ(r.pageCount(), 1);
    }
    Report r;
    EXPECT_FALSE(r.LoadTemplate(dir.filePath(QStringLiteral("missing.grf"))));
    EXPECT_TRUE(r.lastError().startsWith(QStringLiteral("missing.grf: "))) << r.lastError().toStdString();
}

// A report past a layout limit is neither exported nor printed; the reason is the report's error.
TEST(ReportObject, AReportPastALimitFailsWithTheReason) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tall.grf"));
    writeFile(path, R"({"format": "verolux-report", "version": 1, "page": {"paper": "Custom", "width": 10,
        "height": 10, "margins": {"left": 0, "top": 0, "right": 0, "bottom": 0}}, "bands": {"detail":
        {"height": 5000, "items": [{"type": "rect", "x": 0, "y": 0, "w": 5, "h": 5000}]}}})");
    Report r;
    ASSERT_TRUE(r.LoadTemplate(path));
    r.PrepareRecords();
    for (int i = 0; i < 201; ++i) { // 500 pages a row
        r.AppendRecord();
        r.PostRecord();
    }
    EXPECT_FALSE(r.ExportToFile(5, dir.filePath(QStringLiteral("tall.pdf")), 0, 0));
    EXPECT_EQ(r.lastError().toStdString(), "the report has more than 100000 pages");
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("tall.pdf"))));
    EXPECT_FALSE(r.PrintDirect(3, 0));
    EXPECT_EQ(r.lastError().toStdString(), "the report has more than 100000 pages");
}

TEST(ReportObject, ExportBeginSeesTheExportAndUnknownTypesFail) {
    QTemporaryDir dir;
    Report r;
    ASSERT_TRUE(r.LoadTemplate(kOrders));
    r.ReportTitle(QStringLiteral("orders.grf"));
    std::vector<ExportOptions> seen;
    QObject::connect(&r, &Report::ExportBegin, [&](ExportOptions* o) { seen.push_back(*o); });
    // Over a longer file of the same name: the file holds only the new PDF.
    const QString pdf = dir.filePath(QStringLiteral("r1.pdf"));
    writeFile(pdf, QByteArray(4 << 20, 'x'));
    ASSERT_TRUE(r.ExportToFile(5, pdf, 0, 0)) << r.lastError().toStdString();
    QFile written(pdf);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-") && bytes.trimmed().endsWith("%%EOF")) << bytes.size();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].type, 5);
    EXPECT_EQ(seen[0].path, pdf);
    EXPECT_EQ(seen[0].title, QStringLiteral("orders.grf"));

    EXPECT_FALSE(r.ExportToFile(3, dir.filePath(QStringLiteral("r.xls")), 0, 0));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("r.xls"))));
    EXPECT_FALSE(r.ExportToFile(5, dir.filePath(QStringLiteral("no/such/dir/r.pdf")), 0, 0));
    EXPECT_FALSE(r.lastError().isEmpty());
}

} // namespace
