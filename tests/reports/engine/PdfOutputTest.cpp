// PDF files read back with poppler-utils, as a user's viewer would read them: page size, texts that can be
// extracted, pictures stored once. A list over many pages is the pagination tables' and the render tool's
// (the sample sheets through a real PDF).
#include "agent/reports/engine/PdfFont.h"
#include "agent/reports/engine/Report.h"

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

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000)) return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

TEST(PdfOutput, LandscapeCustomPaperImageAndBarcodes) {
    QTemporaryDir dir;
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
    const QString path = dir.filePath(QStringLiteral("label.grf"));
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
    const QString pdf = dir.filePath(QStringLiteral("label.pdf"));
    ASSERT_TRUE(r.ExportToFile(5, pdf, 0, 0)) << r.lastError().toStdString();
    QProcess poppler;
    poppler.start(QStringLiteral("pdfinfo"), {QStringLiteral("-v")});
    // The Windows build's tests under Wine cannot start Linux's poppler-utils.
    if (!poppler.waitForStarted()) GTEST_SKIP() << "pdfinfo (poppler-utils) cannot be started";
    poppler.waitForFinished();
    EXPECT_TRUE(run(QStringLiteral("pdfinfo"), {pdf}).contains(QStringLiteral("425.197 x 283.465 pts")));
    const QString text = run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
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
