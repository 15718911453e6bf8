#include "agent/reports/engine/PdfCanvas.h"

#include <QDateTime>

namespace verolux::reports {

namespace {
constexpr double kPointsPerMm = 72 / 25.4;
constexpr double kMmPerPoint = 25.4 / 72;

std::string ref(int n) {
    return std::to_string(n) + " 0 R";
}

std::string textString(const QString& s) {
    std::string out = "<FEFF";
    static const char digits[] = "0123456789ABCDEF";
    for (QChar c : s) {
        uint16_t u = c.unicode();
        for (int shift = 12; shift >= 0; shift -= 4)
            out += digits[(u >> shift) & 15];
    }
    return out + ">";
}
} // namespace

PdfCanvas::PdfCanvas(QIODevice& out, const StyleFonts& fonts, int styleCount) : m_file(out) {
    m_catalog = m_file.reserve();
    m_pages = m_file.reserve();
    m_resources = m_file.reserve();
    m_info = m_file.reserve();
    m_styles.resize(size_t(styleCount));
    for (int s = 0; s < styleCount; ++s) {
        const QFont& qf = fonts.font(s);
        auto font = PdfFont::create(qf);
        if (!font) {
            m_supported = false;
            return;
        }
        int index = -1;
        for (size_t i = 0; i < m_fonts.size(); ++i)
            if (m_fonts[i]->identity() == font->identity()) index = int(i);
        StyleFont& sf = m_styles[size_t(s)];
        sf.sizeMm = qf.pointSizeF() * kMmPerPoint;
        // Faces the family lacks are drawn from the regular one: stroked for bold, slanted for italic.
        sf.fakeBold = qf.bold() && !font->isBold();
        sf.fakeItalic = qf.italic() && !font->isItalic();
        if (index < 0) {
            index = int(m_fonts.size());
            m_fonts.push_back(std::move(font));
            m_fontObjects.push_back(m_file.reserve());
        }
        sf.font = index;
    }
}

void PdfCanvas::resetState() {
    m_inText = false;
    m_textStyle = -1;
    m_textRender = 0;
    m_fillSet = m_strokeSet = false;
    m_lineWidth = -1;
}

void PdfCanvas::beginPage(double widthMm, double heightMm, double dxMm, double dyMm) {
    m_pageW = widthMm;
    m_pageH = heightMm;
    m_c.clear();
    resetState();
    // Work in mm with y downwards, as the layout does.
    m_c += "q ";
    scaleMove(kPointsPerMm, -kPointsPerMm, dxMm * kPointsPerMm, (heightMm - dyMm) * kPointsPerMm);
    m_c += " 2 J 0 j\n";
}

void PdfCanvas::endPage() {
    endText();
    m_c += "Q\n";
    const int content = m_file.reserve();
    m_file.writeStreamLater(content, std::string(), std::move(m_c), 1);
    m_c = std::string();
    m_c.reserve(1 << 16);
    const int page = m_file.reserve();
    std::string t = "<</Type /Page /Parent " + ref(m_pages) + " /MediaBox [0 0 ";
    AppendPdfNumber(t, m_pageW * kPointsPerMm);
    t += " ";
    AppendPdfNumber(t, m_pageH * kPointsPerMm);
    t += "] /Resources " + ref(m_resources) + " /Contents " + ref(content) + ">>";
    m_file.beginObject(page);
    m_file.write(t);
    m_file.endObject();
    m_pageObjects.push_back(page);
}

bool PdfCanvas::finish(const QString& title, const QString& creator) {
    for (size_t i = 0; i < m_fonts.size(); ++i)
        m_fonts[i]->write(m_file, m_fontObjects[i]);

    std::string t = "<</ProcSet [/PDF /Text /ImageC] /Font <<";
    for (size_t i = 0; i < m_fontObjects.size(); ++i)
        t += "/F" + std::to_string(i + 1) + " " + ref(m_fontObjects[i]) + " ";
    t += ">> /XObject <<";
    for (const auto& [key, im] : m_images)
        t += "/Im" + std::to_string(im.second) + " " + ref(im.first) + " ";
    t += ">>>>";
    m_file.beginObject(m_resources);
    m_file.write(t);
    m_file.endObject();

    t = "<</Type /Pages /Count " + std::to_string(m_pageObjects.size()) + " /Kids [";
    for (int p : m_pageObjects)
        t += ref(p) + " ";
    t += "]>>";
    m_file.beginObject(m_pages);
    m_file.write(t);
    m_file.endObject();

    m_file.beginObject(m_catalog);
    m_file.write("<</Type /Catalog /Pages " + ref(m_pages) + ">>");
    m_file.endObject();

    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
    m_file.beginObject(m_info);
    m_file.write("<</Title " + textString(title) + " /Creator " + textString(creator) +
                 " /Producer (Verolux) /CreationDate (D:" + now.toStdString() + ")>>");
    m_file.endObject();
    m_file.finish(m_catalog, m_info);
    return m_file.ok();
}

void PdfCanvas::pair(double a, double b) {
    num(a);
    m_c += ' ';
    num(b);
}

void PdfCanvas::rect(const QRectF& b) {
    pair(b.x(), b.y());
    m_c += ' ';
    pair(b.width(), b.height());
}

void PdfCanvas::scaleMove(double sx, double sy, double dx, double dy) {
    num(sx);
    m_c += " 0 0 ";
    num(sy);
    m_c += ' ';
    pair(dx, dy);
    m_c += " cm";
}

void PdfCanvas::rgb(uint32_t c) {
    pair(((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0);
    m_c += ' ';
    num((c & 0xFF) / 255.0);
}

void PdfCanvas::fillColor(uint32_t c) {
    if (m_fillSet && c == m_fill) return;
    m_fill = c;
    m_fillSet = true;
    rgb(c);
    m_c += " rg\n";
}

void PdfCanvas::strokeColor(uint32_t c) {
    if (m_strokeSet && c == m_stroke) return;
    m_stroke = c;
    m_strokeSet = true;
    rgb(c);
    m_c += " RG\n";
}

void PdfCanvas::lineWidth(double w) {
    if (w == m_lineWidth) return;
    m_lineWidth = w;
    num(w);
    m_c += " w\n";
}

void PdfCanvas::endText() {
    if (!m_inText) return;
    m_c += "ET\n";
    m_inText = false;
}

void PdfCanvas::fillRect(const QRectF& b, uint32_t color) {
    endText();
    fillColor(color);
    rect(b);
    m_c += " re f\n";
}

void PdfCanvas::fillRects(const QVector<QRectF>& boxes, uint32_t color) {
    if (boxes.isEmpty()) return;
    endText();
    fillColor(color);
    for (const QRectF& b : boxes) {
        rect(b);
        m_c += " re\n";
    }
    m_c += "f\n";
}

void PdfCanvas::drawLines(const QVector<QLineF>& lines, uint32_t color, double width) {
    if (lines.isEmpty()) return;
    endText();
    strokeColor(color);
    lineWidth(width);
    for (const QLineF& l : lines) {
        pair(l.x1(), l.y1());
        m_c += " m ";
        pair(l.x2(), l.y2());
        m_c += " l\n";
    }
    m_c += "S\n";
}

void PdfCanvas::drawImage(const QRectF& box, const QImage& image, const void* key) {
    endText();
    auto found = m_images.find(key);
    if (found == m_images.end()) {
        const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
        std::string pixels;
        pixels.reserve(size_t(rgb.width()) * size_t(rgb.height()) * 3);
        for (int y = 0; y < rgb.height(); ++y)
            pixels.append(reinterpret_cast<const char*>(rgb.constScanLine(y)), size_t(rgb.width()) * 3);
        std::string dims = " /Width " + std::to_string(rgb.width()) + " /Height " +
                           std::to_string(rgb.height()) + " /BitsPerComponent 8";
        std::string dict = " /Type /XObject /Subtype /Image" + dims + " /ColorSpace /DeviceRGB";
        if (image.hasAlphaChannel()) {
            const QImage alpha = image.convertToFormat(QImage::Format_Alpha8);
            std::string a;
            for (int y = 0; y < alpha.height(); ++y)
                a.append(reinterpret_cast<const char*>(alpha.constScanLine(y)), size_t(alpha.width()));
            const int mask = m_file.reserve();
            m_file.writeStream(mask, " /Type /XObject /Subtype /Image" + dims + " /ColorSpace /DeviceGray", a,
                               6);
            dict += " /SMask " + ref(mask);
        }
        const int obj = m_file.reserve();
        m_file.writeStream(obj, dict, pixels, 6);
        found = m_images.emplace(key, std::make_pair(obj, int(m_images.size() + 1))).first;
    }
    m_c += "q ";
    scaleMove(box.width(), -box.height(), box.x(), box.y() + box.height());
    m_c += " /Im" + std::to_string(found->second.second) + " Do Q\n";
}

void PdfCanvas::drawText(double x, double baseline, int style, std::string_view text, uint32_t color) {
    if (style < 0 || size_t(style) >= m_styles.size() || m_styles[size_t(style)].font < 0) return;
    const StyleFont& sf = m_styles[size_t(style)];
    if (!m_inText) {
        m_c += "BT\n";
        m_inText = true;
        m_textStyle = -1;
    }
    if (style != m_textStyle) {
        m_textStyle = style;
        m_c += "/F" + std::to_string(sf.font + 1) + ' ';
        num(sf.sizeMm);
        m_c += " Tf\n";
    }
    int render = sf.fakeBold ? 2 : 0;
    if (render != m_textRender) {
        m_textRender = render;
        m_c += render ? "2 Tr\n" : "0 Tr\n";
    }
    fillColor(color);
    if (sf.fakeBold) {
        strokeColor(color);
        lineWidth(sf.sizeMm * 0.03);
    }
    // Glyphs upright in a y-down space: the text matrix flips back, and leans for a slanted face.
    m_c += sf.fakeItalic ? "1 0 0.2 -1 " : "1 0 0 -1 ";
    pair(x, baseline);
    m_c += " Tm <";
    m_hex.clear();
    m_fonts[size_t(sf.font)]->encode(text, m_hex);
    m_c += m_hex;
    m_c += "> Tj\n";
}

void PdfCanvas::pushClip(const QRectF& b) {
    endText();
    m_c += "q ";
    rect(b);
    m_c += " re W n\n";
}

void PdfCanvas::popClip() {
    endText();
    m_c += "Q\n";
    // Q restores colours and line width to what they were before the clip: forget what we knew.
    m_fillSet = m_strokeSet = false;
    m_lineWidth = -1;
    m_textStyle = -1;
    m_textRender = -1;
}

} // namespace verolux::reports
