#pragma once

#include "agent/reports/engine/PageCanvas.h"
#include "agent/reports/engine/StyleFonts.h"

#include <QPainter>
#include <QRawFont>
#include <QString>

#include <vector>

namespace verolux::reports {

// Draws through a QPainter in the device's own pixels (device dpi / 25.4 per mm): screen, printer,
// and Qt's PDF engine as a fallback.
class PainterCanvas : public PageCanvas {
  public:
    PainterCanvas(QPainter& painter, const StyleFonts& fonts);
    ~PainterCanvas() override;

    void fillRect(const QRectF& box, uint32_t color) override;
    void fillRects(const QVector<QRectF>& boxes, uint32_t color) override;
    void drawLines(const QVector<QLineF>& lines, uint32_t color, double width) override;
    void drawImage(const QRectF& box, const QImage& image, const void* key) override;
    void drawText(double x, double baseline, int style, std::string_view text, uint32_t color) override;
    void pushClip(const QRectF& box) override;
    void popClip() override;

  private:
    const QRawFont& rawFont(int style);
    QRectF px(const QRectF& mm) const {
        return QRectF(mm.x() * m_s, mm.y() * m_s, mm.width() * m_s, mm.height() * m_s);
    }

    QPainter& m_p;
    const StyleFonts& m_fonts;
    double m_s; // device pixels per mm
    int m_style = -1;
    uint32_t m_textColor = 0;
    QString m_text;
    std::vector<QRawFont> m_raw; // by style, at the device's exact pixel size; invalid until needed
    QList<QPointF> m_positions;
};

} // namespace verolux::reports
