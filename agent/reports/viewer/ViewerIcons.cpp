#include "agent/reports/viewer/ViewerIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace verolux::reports {

namespace {

const QColor kInk(0x37, 0x41, 0x51);
const QColor kAccent(0x25, 0x63, 0xeb);

void drawPage(QPainter& p, const QRectF& r) {
    p.setBrush(Qt::white);
    p.drawRect(r);
}

void drawTriangle(QPainter& p, bool left, qreal x) {
    QPainterPath path;
    if (left) {
        path.moveTo(x + 6, 5);
        path.lineTo(x, 12);
        path.lineTo(x + 6, 19);
    } else {
        path.moveTo(x, 5);
        path.lineTo(x + 6, 12);
        path.lineTo(x, 19);
    }
    path.closeSubpath();
    p.setBrush(kInk);
    p.drawPath(path);
}

void drawMagnifier(QPainter& p, bool plus) {
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(3, 3, 13, 13));
    p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(15, 15), QPointF(21, 21));
    p.setPen(QPen(kAccent, 2));
    p.drawLine(QPointF(6.5, 9.5), QPointF(12.5, 9.5));
    if (plus) p.drawLine(QPointF(9.5, 6.5), QPointF(9.5, 12.5));
}

void draw(QPainter& p, ViewerIcon icon) {
    p.setPen(QPen(kInk, 1.5));
    switch (icon) {
    case ViewerIcon::Print:
        drawPage(p, QRectF(7, 2.5, 10, 6));
        p.setBrush(kInk);
        p.drawRoundedRect(QRectF(3, 8.5, 18, 9), 2, 2);
        drawPage(p, QRectF(7, 14, 10, 7.5));
        p.setPen(QPen(QColor(0x22, 0xc5, 0x5e), 2));
        p.drawPoint(QPointF(18, 11));
        break;
    case ViewerIcon::ExportPdf:
        drawPage(p, QRectF(5, 2.5, 14, 19));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xdc, 0x26, 0x26));
        p.drawRect(QRectF(3, 12, 18, 7));
        p.setPen(Qt::white);
        {
            QFont f = p.font();
            f.setPixelSize(6);
            f.setBold(true);
            p.setFont(f);
            p.drawText(QRectF(3, 12, 18, 7), Qt::AlignCenter, QStringLiteral("PDF"));
        }
        break;
    case ViewerIcon::ZoomIn:
        drawMagnifier(p, true);
        break;
    case ViewerIcon::ZoomOut:
        drawMagnifier(p, false);
        break;
    case ViewerIcon::FitWidth:
        drawPage(p, QRectF(5, 3, 14, 18));
        p.setPen(QPen(kAccent, 1.8));
        p.drawLine(QPointF(2, 12), QPointF(22, 12));
        p.drawLine(QPointF(2, 12), QPointF(5, 9));
        p.drawLine(QPointF(2, 12), QPointF(5, 15));
        p.drawLine(QPointF(22, 12), QPointF(19, 9));
        p.drawLine(QPointF(22, 12), QPointF(19, 15));
        break;
    case ViewerIcon::FitPage:
        drawPage(p, QRectF(6, 2.5, 12, 19));
        p.setPen(QPen(kAccent, 1.8));
        p.drawLine(QPointF(8.5, 7.5), QPointF(8.5, 5));
        p.drawLine(QPointF(8.5, 5), QPointF(11, 5));
        p.drawLine(QPointF(15.5, 16.5), QPointF(15.5, 19));
        p.drawLine(QPointF(15.5, 19), QPointF(13, 19));
        break;
    case ViewerIcon::First:
        p.setPen(QPen(kInk, 2));
        p.drawLine(QPointF(6, 5), QPointF(6, 19));
        p.setPen(Qt::NoPen);
        drawTriangle(p, true, 9);
        drawTriangle(p, true, 15);
        break;
    case ViewerIcon::Previous:
        p.setPen(Qt::NoPen);
        drawTriangle(p, true, 9);
        break;
    case ViewerIcon::Next:
        p.setPen(Qt::NoPen);
        drawTriangle(p, false, 9);
        break;
    case ViewerIcon::Last:
        p.setPen(Qt::NoPen);
        drawTriangle(p, false, 3);
        drawTriangle(p, false, 9);
        p.setPen(QPen(kInk, 2));
        p.drawLine(QPointF(18, 5), QPointF(18, 19));
        break;
    case ViewerIcon::Close:
        p.setPen(QPen(kInk, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6, 6), QPointF(18, 18));
        p.drawLine(QPointF(18, 6), QPointF(6, 18));
        break;
    }
}

} // namespace

QIcon MakePaintedIcon(const std::function<void(QPainter&)>& draw) {
    QIcon result;
    for (int scale : {1, 2}) {
        QPixmap pm(24 * scale, 24 * scale);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(scale, scale);
        draw(p);
        p.end();
        pm.setDevicePixelRatio(scale);
        result.addPixmap(pm);
    }
    return result;
}

QIcon MakeViewerIcon(ViewerIcon icon) {
    return MakePaintedIcon([icon](QPainter& p) { draw(p, icon); });
}

} // namespace verolux::reports
