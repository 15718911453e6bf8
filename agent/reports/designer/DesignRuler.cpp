#include "agent/reports/designer/DesignRuler.h"

#include "agent/reports/designer/DesignCanvas.h"

#include <QPainter>

#include <cmath>

namespace verolux::reports {

DesignRuler::DesignRuler(Qt::Orientation orientation, DesignCanvas* canvas)
    : QWidget(canvas), m_orientation(orientation), m_canvas(canvas) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    QFont f = font();
    f.setPixelSize(9);
    setFont(f);
}

void DesignRuler::paintScale(QPainter& p, double zeroPx, double fromMm, double toMm, double ppm) {
    const bool across = m_orientation == Qt::Horizontal;
    // Ticks every mm when they are at least 4 px apart, else every 5 or 10 mm.
    const int step = ppm >= 4 ? 1 : ppm >= 0.8 ? 5 : 10;
    const int labelEvery = ppm >= 2 ? 10 : ppm >= 0.8 ? 20 : 50;
    const int first = static_cast<int>(std::ceil(fromMm / step)) * step;
    for (int mm = first; mm <= toMm; mm += step) {
        const double at = zeroPx + mm * ppm;
        const int len = mm % 10 == 0 ? 9 : mm % 5 == 0 ? 6 : 3;
        if (across)
            p.drawLine(QPointF(at, kThickness - len), QPointF(at, kThickness));
        else
            p.drawLine(QPointF(kThickness - len, at), QPointF(kThickness, at));
        if (mm % labelEvery == 0) {
            const QString label = QString::number(mm);
            if (across)
                p.drawText(QPointF(at + 2, 10), label);
            else // at the left edge, clear of the shorter ticks below the number
                p.drawText(QRectF(1, at + 1, kThickness - 2, 10), Qt::AlignLeft | Qt::AlignTop, label);
        }
    }
}

void DesignRuler::paintEvent(QPaintEvent*) {
    // The ruler sits beside the canvas's viewport with the same coordinates along its length.
    QPainter p(this);
    p.fillRect(rect(), QColor(0xf3, 0xf4, 0xf6));
    const bool across = m_orientation == Qt::Horizontal;
    const double ppm = m_canvas->pixelsPerMm();
    const design::DesignLayout& layout = m_canvas->layout();
    const QColor ink(0x6b, 0x72, 0x80), shade(0xbf, 0xdb, 0xfe);
    const std::optional<design::RectMm> sel = m_canvas->selectionBox();
    if (across) {
        const double zero = m_canvas->toView(layout.left, 0).x();
        p.fillRect(QRectF(zero, 0, layout.contentWidth * ppm, kThickness), Qt::white);
        if (sel) p.fillRect(QRectF(m_canvas->toView(sel->x, 0).x(), 0, sel->w * ppm, kThickness), shade);
        p.setPen(ink);
        paintScale(p, zero, -layout.left, layout.paperWidth - layout.left, ppm);
    } else {
        for (const design::PlacedBand& b : layout.bands) {
            const double zero = m_canvas->toView(0, b.top).y();
            p.fillRect(QRectF(0, zero, kThickness, b.height * ppm), Qt::white);
            p.setPen(QColor(0x9c, 0xa3, 0xaf));
            p.drawLine(QPointF(0, zero), QPointF(kThickness, zero));
            p.setPen(ink);
            paintScale(p, zero, 0, b.height, ppm);
        }
        if (sel)
            p.fillRect(QRectF(0, m_canvas->toView(0, sel->y).y(), kThickness, sel->h * ppm),
                       QColor(0x93, 0xc5, 0xfd, 110));
    }
    p.setPen(QColor(0xd1, 0xd5, 0xdb));
    if (across)
        p.drawLine(QPointF(0, kThickness - 0.5), QPointF(width(), kThickness - 0.5));
    else
        p.drawLine(QPointF(kThickness - 0.5, 0), QPointF(kThickness - 0.5, height()));
}

} // namespace verolux::reports
