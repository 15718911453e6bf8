// Label sheets in a real PDF read back with pdftotext -layout: labels that share a line of the sheet
// come out side by side on one text line, in the order the sheet's columns ask for.
#include "agent/reports/engine/Report.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace verolux;
using namespace verolux::reports;

namespace {

QString pageText(const QString& pdf, int page) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"),
            {QStringLiteral("-layout"), QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
             QString::number(page), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(60000)) return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// A4, three 60 mm labels 5 mm apart between 12.5 mm margins, 35 mm high; a report footer below.
QByteArray sheet(const char* order) {
    return QByteArray(R"({"format": "verolux-report", "version": 1,
      "page": {"paper": "A4", "margins": {"left": 12.5, "top": 10, "right": 12.5, "bottom": 10}},
      "styles": {"default": {"size": 10}, "card": {"borders": "all"}},
      "fields": [{"name": "code"}, {"name": "name"}, {"name": "price", "type": "currency", "format": "¥0.00"}],
      "bands": {
        "detail": {"height": 35, "columns": {"count": 3, "spacing": 5, "order": ")") +
           order + R"("}, "items": [
          {"type": "rect", "x": 0, "y": 0, "w": 60, "h": 33, "style": "card"},
          {"type": "text", "x": 2, "y": 2, "w": 56, "h": 6, "text": "{code}"},
          {"type": "text", "x": 2, "y": 9, "w": 56, "h": 6, "text": "{name} {price}"},
          {"type": "barcode", "x": 2, "y": 16, "w": 56, "h": 15, "symbology": "code128", "data": "X{code}"}]},
        "reportFooter": {"height": 8, "items": [
          {"type": "text", "x": 0, "y": 2, "w": 185, "h": 6, "text": "{count()} labels"}]}}})";
}

// The label codes of each text line of page 1 that has any, e.g. {"L01 L02 L03", "L04 L05 L06", "L07"}.
QStringList labelLines(const QString& text) {
    QStringList out;
    QRegularExpression code(QStringLiteral("\\bL\\d\\d\\b"));
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        QStringList codes;
        for (auto it = code.globalMatch(line); it.hasNext();)
            codes << it.next().captured(0);
        if (!codes.isEmpty()) out << codes.join(QLatin1Char(' '));
    }
    return out;
}

struct SheetCase {
    const char* name;
    const char* order;
    QStringList lines;
};

class LabelSheetPdf : public ::testing::TestWithParam<SheetCase> {};

TEST_P(LabelSheetPdf, LabelsSideBySideInOrder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("sheet.grf"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(sheet(GetParam().order));
    f.close();

    Report r;
    ASSERT_TRUE(r.LoadTemplate(path)) << r.lastError().toStdString();
    const char* names[] = {"苹果", "香蕉", "橙子", "葡萄", "西瓜", "草莓", "芒果"};
    r.PrepareRecords();
    for (int i = 0; i < 7; ++i) {
        r.AppendRecord();
        r.Fields().byName("code")->setValue(
            ScalarValue::fromText(QStringLiteral("L%1").arg(i + 1, 2, 10, QLatin1Char('0')).toStdString()));
        r.Fields().byName("name")->setValue(ScalarValue::fromText(names[i]));
        r.Fields().byName("price")->setValue(ScalarValue::fromNumber(std::to_string(i + 1) + ".5"));
        r.PostRecord();
    }
    const QString pdf = dir.filePath(QStringLiteral("sheet.pdf"));
    ASSERT_TRUE(r.ExportToFile(5, pdf, 0, 0)) << r.lastError().toStdString();
    ASSERT_EQ(r.pageCount(), 1);

    const QString text = pageText(pdf, 1);
    // The code printed on each label (the barcodes print theirs as "XL01", which the pattern skips).
    EXPECT_EQ(labelLines(text), GetParam().lines) << text.toStdString();
    const QString squeezed = QString(text).remove(QRegularExpression(QStringLiteral("[ \\t]")));
    const QString first = GetParam().lines.first();
    // The Chinese names of the first line of labels sit on one text line too, in the same order.
    QString firstNames;
    for (const QString& c : first.split(QLatin1Char(' '))) {
        const int n = c.mid(1).toInt();
        firstNames += QString::fromUtf8(names[n - 1]) + QStringLiteral("¥%1.50").arg(n);
    }
    EXPECT_TRUE(squeezed.contains(firstNames)) << text.toStdString();
    // The report footer, full width below the labels.
    EXPECT_GT(text.indexOf(QStringLiteral("7 labels")), text.lastIndexOf(QStringLiteral("L0")));
}

INSTANTIATE_TEST_SUITE_P(
    Orders, LabelSheetPdf,
    ::testing::Values(
        // Left to right, then down; the last line holds one label at the left.
        SheetCase{"across",
                  "across",
                  {QStringLiteral("L01 L02 L03"), QStringLiteral("L04 L05 L06"), QStringLiteral("L07")}},
        // Down a column first; with the footer below, seven labels share out as 3, 3, 1.
        SheetCase{"down",
                  "down",
                  {QStringLiteral("L01 L04 L07"), QStringLiteral("L02 L05"), QStringLiteral("L03 L06")}}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
