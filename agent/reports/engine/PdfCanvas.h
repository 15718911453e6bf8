#pragma once

#include "agent/reports/engine/PageCanvas.h"
#include "agent/reports/engine/PdfFile.h"
#include "agent/reports/engine/PdfFont.h"
#include "agent/reports/engine/StyleFonts.h"

#include <QIODevice>
#include <QString>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace verolux::reports {

// Writes a PDF directly, page by page, with compact content (one text object per page, one path per
// line width) and subset CID fonts. Qt's own PDF engine writes one positioning operator per glyph and
// spends most of a large report compressing it; this writer is an order of magnitude faster.
class PdfCanvas : public PageCanvas {
  public:
    PdfCanvas(QIODevice& out, const StyleFonts& fonts, int styleCount);

    // False if a style's font cannot be embedded by this writer (no TrueType outlines): use Qt's then.
    bool supported() const { return m_supported; }

    // The drawing moved by dx, dy mm (right, down) on the page.
    void beginPage(double widthMm, double heightMm, double dxMm = 0, double dyMm = 0);
    void endPage();
    bool finish(const QString& title, const QString& creator);

    void fillRect(const QRectF& box, uint32_t color) override;
    void fillRects(const QVector<QRectF>& boxes, uint32_t color) override;
    void drawLines(const QVector<QLineF>& lines, uint32_t color, double width) override;
    void drawImage(const QRectF& box, const QImage& image, const void* key) override;
    void drawText(double x, double baseline, int style, std::string_view text, uint32_t color) override;
    void pushClip(const QRectF& box) override;
    void popClip() override;

  private:
    struct StyleFont {
        int font = -1; // index into m_fonts
        double sizeMm = 0;
        bool fakeBold = false, fakeItalic = false;
    };
    void num(double v) { AppendPdfNumber(m_c, v); }
    void pair(double a, double b);                              // "a b"
    void rect(const QRectF& b);                                 // "x y w h"
    void scaleMove(double sx, double sy, double dx, double dy); // "sx 0 0 sy dx dy cm"
    void rgb(uint32_t c);                                       // "r g b", 0..1
    void fillColor(uint32_t c);
    void strokeColor(uint32_t c);
    void lineWidth(double w);
    void endText();
    void resetState();

    PdfFile m_file;
    int m_catalog, m_pages, m_resources, m_info;
    std::vector<std::unique_ptr<PdfFont>> m_fonts;
    std::vector<int> m_fontObjects;
    std::vector<StyleFont> m_styles;
    std::unordered_map<const void*, std::pair<int, int>> m_images; // key → (object, resource number)
    std::vector<int> m_pageObjects;
    bool m_supported = true;

    std::string m_c; // content of the current page
    double m_pageW = 0, m_pageH = 0;
    bool m_inText = false;
    int m_textStyle = -1, m_textRender = 0;
    uint32_t m_fill = 0, m_stroke = 0;
    bool m_fillSet = false, m_strokeSet = false;
    double m_lineWidth = -1;
    std::string m_hex;
};

} // namespace verolux::reports
