#include "agent/reports/engine/PainterCanvas.h"

#include <QGlyphRun>
#include <QPaintDevice>

namespace verolux::reports {

PainterCanvas::PainterCanvas(QPainter& painter, const StyleFonts& fonts)
    : m_p(painter), m_fonts(fonts), m_s((painter.device() ? painter.device()->logicalDpiX() : 96) / 25.4) {
    m_p.save();
    m_p.setRenderHint(QPainter::Antialiasing, true);
    m_p.setRenderHint(QPainter::TextAntialiasing, true);
}

PainterCanvas::~PainterCanvas() {
    m_p.restore();
}

void PainterCanvas::fillRect(const QRectF& box, uint32_t color) {
    m_p.fillRect(px(box), QColor::fromRgba(color));
}

void PainterCanvas::fillRects(const QVector<QRectF>& boxes, uint32_t color) {
    QVector<QRectF> scaled;
    scaled.reserve(boxes.size());
    for (const QRectF& b : boxes)
        scaled.append(px(b));
    m_p.save();
    m_p.setRenderHint(QPainter::Antialiasing, false);
    m_p.setPen(Qt::NoPen);
    m_p.setBrush(QColor::fromRgba(color));
    m_p.drawRects(scaled);
    m_p.restore();
}

void PainterCanvas::drawLines(const QVector<QLineF>& lines, uint32_t color, double width) {
    QVector<QLineF> scaled;
    scaled.reserve(lines.size());
    for (const QLineF& l : lines)
        scaled.append(QLineF(l.p1() * m_s, l.p2() * m_s));
    QPen pen(QColor::fromRgba(color));
    pen.setWidthF(width * m_s);
    pen.setCapStyle(Qt::SquareCap);
    m_p.setPen(pen);
    m_p.drawLines(scaled);
    m_style = -1; // the pen changed
}

void PainterCanvas::drawImage(const QRectF& box, const QImage& image, const void*) {
    m_p.drawImage(px(box), image);
}

// The style's font at its exact size in device pixels. QPainter::drawText would take a font engine of
// a whole pixel size (12.5 px becomes 13 at 100 dpi): text 4 % wider than the layout measured it.
const QRawFont& PainterCanvas::rawFont(int style) {
    if (m_raw.size() <= size_t(style)) m_raw.resize(size_t(style) + 1);
    QRawFont& raw = m_raw[size_t(style)];
    if (!raw.isValid()) {
        const QFont& font = m_fonts.font(style);
        raw = QRawFont::fromFont(font);
        if (raw.isValid()) raw.setPixelSize(font.pointSizeF() * 25.4 / 72 * m_s);
    }
    return raw;
}

void PainterCanvas::drawText(double x, double baseline, int style, std::string_view text, uint32_t color) {
    if (style != m_style) {
        m_style = style;
        m_p.setFont(m_fonts.font(style));
        m_textColor = color + 1; // force the pen below
    }
    if (color != m_textColor) {
        m_textColor = color;
        m_p.setPen(QColor::fromRgba(color));
    }
    m_text = QString::fromUtf8(text.data(), qsizetype(text.size()));
    // Glyph by glyph at the font's own advances, as the layout measured and the PDF writer places them.
    const QRawFont& raw = rawFont(style);
    if (raw.isValid()) {
        const QList<quint32> glyphs = raw.glyphIndexesForString(m_text);
        if (!glyphs.contains(0u)) {
            const QList<QPointF> advances = raw.advancesForGlyphIndexes(glyphs, QRawFont::UseDesignMetrics);
            m_positions.resize(glyphs.size());
            QPointF at(0, 0);
            for (qsizetype i = 0; i < glyphs.size(); ++i) {
                m_positions[i] = at;
                at += advances[i];
            }
            QGlyphRun run;
            run.setRawFont(raw);
            run.setGlyphIndexes(glyphs);
            run.setPositions(m_positions);
            m_p.drawGlyphRun(QPointF(x * m_s, baseline * m_s), run);
            return;
        }
    }
    // A character the font lacks: Qt finds it in a fallback font (the layout measured it so too).
    m_p.drawText(QPointF(x * m_s, baseline * m_s), m_text);
}

void PainterCanvas::pushClip(const QRectF& box) {
    m_p.save();
    m_p.setClipRect(px(box), Qt::IntersectClip);
}

void PainterCanvas::popClip() {
    m_p.restore();
    m_style = -1;
}

} // namespace verolux::reports
