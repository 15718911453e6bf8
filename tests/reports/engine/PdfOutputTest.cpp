// PDF files read back with poppler-utils, as a user's viewer would read them: page count and size,
// the right texts on the right pages in order, Chinese text that can be extracted, fonts embedded.
#include "agent/reports/engine/PdfFont.h"
#include "agent/reports/engine/Report.h"
#include "agent/reports/engine/RequestFill.h"

#include <QFont>
#include <QProcess>
#include <QRawFont>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace verolux;
using namespace verolux::reports;

namespace {

const QString kOrders = QStringLiteral(VEROLUX_SOURCE_DIR "/demo/templates/orders.grf");

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000)) return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString pageText(const QString& pdf, int page) {
    return run(QStringLiteral("pdftotext"),
               {QStringLiteral("-layout"), QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                QString::number(page), pdf, QStringLiteral("-")});
}

QString info(const QString& pdf, const QString& key) {
    const QString out = run(QStringLiteral("pdfinfo"), {pdf});
    QRegularExpression re(QStringLiteral("^") + key + QStringLiteral(":\\s*(.*)$"),
                          QRegularExpression::MultilineOption);
    return re.match(out).captured(1).trimmed();
}

// Orders of three customers, `perCustomer` rows each; amount = 1.50 × row number.
void fillOrders(Report& r, int perCustomer) {
    std::string rows;
    int n = 0;
    for (const char* c : {"上海华东贸易有限公司", "Acme Industrial GmbH", "重庆山城汽配"})
        for (int i = 0; i < perCustomer; ++i) {
            char row[256];
            ++n;
            std::snprintf(row, sizeof row,
                          R"(%s{"customer":"%s","orderNo":"SO%05d","orderDate":"2024-03-05",)"
                          R"("product":"激光打印机硒鼓","quantity":1,"price":1.5,"amount":"%.2f"})",
                          rows.empty() ? "" : ",", c, n, 1.5 * n);
            rows += row;
        }
    FillFromRequest(r, JsonDocument::Parse(R"({"repname":"orders.grf","company":"维罗勒克斯演示公司",)"
                                           R"("title":"订单明细表","repdata":[)" +
                                           rows + "]}"));
}

class PdfOutput : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(m_report.LoadTemplate(kOrders)) << m_report.lastError().toStdString();
    }
    QTemporaryDir m_dir;
    Report m_report;
};

TEST_F(PdfOutput, OrderListPagesTextsInOrderAndPageXOfY) {
    fillOrders(m_report, 30);
    const QString pdf = m_dir.filePath(QStringLiteral("orders.pdf"));
    ASSERT_TRUE(m_report.ExportToFile(5, pdf, 0, 0)) << m_report.lastError().toStdString();
    const int pages = m_report.pageCount();
    ASSERT_GE(pages, 3);
    EXPECT_EQ(info(pdf, QStringLiteral("Pages")).toInt(), pages);
    EXPECT_EQ(info(pdf, QStringLiteral("Page size")), QStringLiteral("595.276 x 841.89 pts (A4)"));

    int lastOrder = 0;
    for (int p = 1; p <= pages; ++p) {
        SCOPED_TRACE(p);
        const QString text = pageText(pdf, p);
        // Header, column header and page footer on every page.
        EXPECT_TRUE(text.contains(QStringLiteral("订单明细表")));
        EXPECT_TRUE(text.contains(QStringLiteral("订单号")));
        // pdftotext's layout mode drops the blanks between CJK characters: compare without blanks.
        EXPECT_TRUE(QString(text)
                        .remove(QRegularExpression(QStringLiteral("\\s")))
                        .contains(QStringLiteral("第%1页/共%2页").arg(p).arg(pages)))
            << text.toStdString();
        // Order numbers continue from page to page without gaps or repeats.
        QRegularExpression re(QStringLiteral("SO(\\d{5})"));
        for (auto it = re.globalMatch(text); it.hasNext();) {
            int no = it.next().captured(1).toInt();
            EXPECT_EQ(no, lastOrder + 1);
            lastOrder = no;
        }
    }
    EXPECT_EQ(lastOrder, 90);
    const QString last = pageText(pdf, pages);
    // Subtotal of the last customer (rows 61-90: 1.5 × (61+…+90) = 3,397.50) and the grand total
    // (1.5 × 4095 = 6,142.50), also in Chinese uppercase.
    EXPECT_TRUE(last.contains(QStringLiteral("重庆山城汽配 小计（30 笔）")));
    EXPECT_TRUE(last.contains(QStringLiteral("3,397.50")));
    EXPECT_TRUE(last.contains(QStringLiteral("¥6,142.50")));
    EXPECT_TRUE(last.contains(QStringLiteral("陆仟壹佰肆拾贰元伍角")));
}

TEST_F(PdfOutput, LandscapeCustomPaperImageAndBarcodes) {
    // A 1×1 red PNG, and barcodes of each kind with a reference in their data.
    const char* tmpl = R"({"format": "verolux-report", "version": 1,
      "page": {"paper": "Custom", "width": 100, "height": 150, "orientation": "landscape",
               "margins": {"left": 5, "top": 5, "right": 5, "bottom": 5}},
      "styles": {"b": {"bold": true, "italic": true, "underline": true, "size": 12}},
      "fields": [{"name": "code"}],
      "bands": {"detail": {"height": 40, "items": [
        {"type": "image", "x": 0, "y": 0, "w": 20, "h": 20,
         "data": "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8DwHwAFBQIAX8jx0gAAAABJRU5ErkJggg=="},
        {"type": "barcode", "x": 25, "y": 0, "w": 40, "h": 15, "symbology": "code128", "data": "{code}"},
        {"type": "barcode", "x": 70, "y": 0, "w": 20, "h": 20, "symbology": "qr", "data": "https://example.com/{code}"},
        {"type": "barcode", "x": 95, "y": 0, "w": 40, "h": 20, "symbology": "ean13", "data": "690123456789"},
        {"type": "text", "x": 0, "y": 25, "w": 100, "h": 8, "style": "b", "text": "标签 {code}"}]}}})";
    const QString path = m_dir.filePath(QStringLiteral("label.grf"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(tmpl);
    f.close();
    Report r;
    ASSERT_TRUE(r.LoadTemplate(path)) << r.lastError().toStdString();
    r.PrepareRecords();
    for (const char* code : {"A-1", "B-2"}) {
        r.AppendRecord();
        r.Fields().item(1).setValue(ScalarValue::fromText(code));
        r.PostRecord();
    }
    const QString pdf = m_dir.filePath(QStringLiteral("label.pdf"));
    ASSERT_TRUE(r.ExportToFile(5, pdf, 0, 0)) << r.lastError().toStdString();
    EXPECT_EQ(info(pdf, QStringLiteral("Page size")), QStringLiteral("425.197 x 283.465 pts"));
    const QString text = pageText(pdf, 1);
    EXPECT_TRUE(text.contains(QStringLiteral("标签 A-1")));
    EXPECT_TRUE(text.contains(QStringLiteral("标签 B-2")));
    EXPECT_FALSE(text.contains(QStringLiteral("barcode error")));
    // The logo is drawn for every label but stored once (one object, its alpha as one soft mask).
    const QStringList images = run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf})
                                   .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                                   .mid(2);
    QSet<QString> objects;
    int drawn = 0;
    for (const QString& line : images) {
        const QStringList cols = line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        ASSERT_GE(cols.size(), 12) << line.toStdString();
        objects.insert(cols[2] + QLatin1Char('/') + cols[10]);
        drawn += cols[2] == QStringLiteral("image");
    }
    EXPECT_EQ(drawn, 2) << images.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(objects.size(), 2); // one image, one smask
}

} // namespace

namespace {

// Characters beyond U+FFFF go to Qt as surrogate pairs: the glyph lookup agrees with Qt's own lookup of
// the same character as a string, on both sides of the boundary.
TEST(GlyphLookup, AgreesWithQtAroundTheSurrogateBoundary) {
    for (const char* family : {"DejaVu Sans", "WenQuanYi Micro Hei"}) {
        const QRawFont font = QRawFont::fromFont(QFont(QString::fromUtf8(family)));
        ASSERT_TRUE(font.isValid()) << family;
        for (const char32_t cp : {U'A', U'\uFFFD', U'\uFFFF', U'\U00010000', U'\U00010001', U'\U0001D400',
                                  U'\U0001F600', U'\U00020000'}) {
            const QList<quint32> qt = font.glyphIndexesForString(QString::fromUcs4(&cp, 1));
            EXPECT_EQ(GlyphIndex(font, cp), qt.value(0)) << family << " U+" << std::hex << uint32_t(cp);
        }
    }
}

} // namespace
