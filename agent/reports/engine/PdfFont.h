#pragma once

#include "agent/reports/engine/PdfFile.h"

#include <QByteArray>
#include <QFont>
#include <QRawFont>

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace verolux::reports {

// The font's glyph for a character (a surrogate pair above U+FFFF), 0 when it has none. The PDF
// writer embeds this glyph and the measurer takes its advance, so both see the same one.
quint32 GlyphIndex(const QRawFont& font, char32_t cp);

// One TrueType font as the PDF writer embeds it: a CID font (Identity-H, two bytes per glyph id),
// only the glyphs used, with a ToUnicode map so text can be searched and copied.
class PdfFont {
  public:
    // nullptr when the font has no TrueType outlines (glyf table), which this writer cannot subset.
    static std::unique_ptr<PdfFont> create(const QFont& font);

    // Appends the glyph ids of `text` as hex digits (for a <...> Tj string).
    void encode(std::string_view text, std::string& hex);
    // Writes the font objects; `type0` is the number the page resources refer to.
    void write(PdfFile& file, int type0);
    // Identity for sharing one embedded font between styles: file and face.
    QString identity() const { return m_identity; }
    bool boldRequested = false, italicRequested = false;
    bool isBold() const { return m_bold; }
    bool isItalic() const { return m_italic; }

  private:
    PdfFont() = default;
    uint16_t glyphFor(char32_t cp);
    QByteArray subsetFontFile() const;
    int advance(uint16_t gid) const;

    QRawFont m_raw;
    QString m_identity, m_postscriptName;
    bool m_bold = false, m_italic = false;
    QByteArray m_head, m_hhea, m_maxp, m_hmtx, m_loca, m_glyf, m_cvt, m_fpgm, m_prep;
    int m_unitsPerEm = 1000, m_numGlyphs = 0, m_numHMetrics = 0;
    bool m_longLoca = false;
    std::array<int32_t, 128> m_ascii{};            // -1 until looked up
    std::unordered_map<char32_t, uint16_t> m_cmap; // other code points
    std::unordered_map<uint16_t, char32_t> m_used; // glyph → the character it shows
};

} // namespace verolux::reports
