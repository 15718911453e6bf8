// The PDF writer's font subsetter: glyph ids as the font has them, the outlines of the glyphs shown
// (composite ones with their parts) and of no others, their widths, and text that can be copied back.
#include "agent/reports/engine/PdfFont.h"
#include "agent/reports/engine/PdfFile.h"

#include <QBuffer>
#include <QFontInfo>
#include <QPainterPath>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace verolux::reports;

namespace {

QString Hex4(quint32 v) {
    return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0')).toUpper();
}

// The inflated stream of object `number` in `pdf`.
QByteArray Stream(const QByteArray& pdf, int number) {
    const int at = pdf.indexOf(QByteArray::number(number) + " 0 obj\n");
    const int start = pdf.indexOf("stream\n", at) + 7;
    const QRegularExpression length(QStringLiteral("/Length (\\d+)"));
    const int size = length.match(QString::fromLatin1(pdf.mid(at, start - at))).captured(1).toInt();
    // zlib data behind the 4-byte size qUncompress expects (a hint: it grows as needed).
    return qUncompress(QByteArray("\x00\x01\x00\x00", 4) + pdf.mid(start, size));
}

int Ref(const QByteArray& pdf, const char* key) {
    const QRegularExpression re(QString::fromLatin1(key) + QStringLiteral(" (\\d+) 0 R"));
    return re.match(QString::fromLatin1(pdf)).captured(1).toInt();
}

TEST(PdfFontSubset, ShownGlyphsWithTheirPartsAndWidthsAndNothingElse) {
    QFont qf(QStringLiteral("DejaVu Sans"));
    qf.setPointSizeF(10);
    const QRawFont raw = QRawFont::fromFont(qf);
#ifdef _WIN32
    // DejaVu is Linux's font: a Windows system (or Wine's prefix) has it only when someone installed it.
    if (!QFontInfo(qf).family().startsWith(QStringLiteral("DejaVu"))) GTEST_SKIP() << "no DejaVu Sans here";
#endif
    // The family Qt matched, from QFontInfo: QRawFont::familyName() crashes with Qt 6.4's Windows engines.
    ASSERT_TRUE(QFontInfo(qf).family().startsWith(QStringLiteral("DejaVu"))) << "fonts-dejavu-core missing";
    auto font = PdfFont::create(qf);
    ASSERT_TRUE(font);

    // 'é' is a composite glyph (e + acute) in DejaVu; U+1D538 needs a surrogate pair on its way to Qt.
    // Copying the text back: each glyph maps to its character, UTF-16 (a surrogate pair above U+FFFF).
    const struct {
        char32_t cp;
        const char* utf16;
    } shown[] = {{U'A', "0041"}, {U'é', "00E9"}, {U'\U0001D538', "D835DD38"}};
    std::string hex;
    font->encode("Aé\xF0\x9D\x94\xB8", hex);
    QString expected;
    for (const auto& c : shown) {
        ASSERT_NE(GlyphIndex(raw, c.cp), 0u) << "glyph for U+" << std::hex << uint32_t(c.cp);
        expected += Hex4(GlyphIndex(raw, c.cp));
    }
    EXPECT_EQ(QString::fromStdString(hex), expected); // two bytes per glyph, the font's own ids

    QByteArray pdf;
    QBuffer out(&pdf);
    out.open(QIODevice::WriteOnly);
    {
        PdfFile file(out);
        font->write(file, file.reserve());
        ASSERT_TRUE(file.ok());
    }
    const QByteArray subset = Stream(pdf, Ref(pdf, "/FontFile2"));
    ASSERT_FALSE(subset.isEmpty());
    QRawFont embedded(subset, raw.pixelSize());
    ASSERT_TRUE(embedded.isValid());
    // The outlines of a handful of glyphs out of some six thousand.
    EXPECT_LT(embedded.fontTable("glyf").size(), raw.fontTable("glyf").size() / 100);
    const QString cmap = QString::fromLatin1(Stream(pdf, Ref(pdf, "/ToUnicode")));
    for (const auto& c : shown) {
        const quint32 g = GlyphIndex(raw, c.cp);
        const QRectF mine = embedded.pathForGlyph(g).boundingRect();
        EXPECT_FALSE(mine.isEmpty()) << "U+" << std::hex << uint32_t(c.cp);
        EXPECT_EQ(mine, raw.pathForGlyph(g).boundingRect()) << "U+" << std::hex << uint32_t(c.cp);
        EXPECT_EQ(embedded.advancesForGlyphIndexes(QList<quint32>{g}),
                  raw.advancesForGlyphIndexes(QList<quint32>{g}));
        EXPECT_TRUE(cmap.contains(QStringLiteral("<%1> <%2>").arg(Hex4(g), QLatin1String(c.utf16))))
            << cmap.toStdString();
    }
    EXPECT_TRUE(embedded.pathForGlyph(GlyphIndex(raw, U'Z')).isEmpty()) << "a glyph not shown was kept";
}

// Outlines in CFF (OpenType .otf) cannot be subset by this writer: it says so, and Qt's PDF engine writes
// the report instead.
TEST(PdfFontSubset, FontsWithoutTrueTypeOutlinesAreRefused) {
    QFont cff(QStringLiteral("Nimbus Sans"));
    const QRawFont raw = QRawFont::fromFont(cff);
    if (!QFontInfo(cff).family().startsWith(QStringLiteral("Nimbus")) || !raw.fontTable("glyf").isEmpty())
        GTEST_SKIP() << "no CFF font installed (fonts-urw-base35)";
    EXPECT_FALSE(PdfFont::create(cff));
}

} // namespace
