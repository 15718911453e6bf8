#include "agent/reports/designer/DesignerIcons.h"

#include "agent/reports/viewer/ViewerIcons.h"

#include <QPainter>
#include <QPainterPath>

namespace verolux::reports {

namespace {

const QColor kInk(0x37, 0x41, 0x51);
const QColor kAccent(0x25, 0x63, 0xeb);
const QColor kSoft(0xbf, 0xdb, 0xfe);

void box(QPainter& p, const QRectF& r, const QColor& fill) {
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(fill);
    p.drawRect(r);
}

void bar(QPainter& p, double x1, double y1, double x2, double y2) {
    p.setPen(QPen(kAccent, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(x1, y1), QPointF(x2, y2));
}

void arrow(QPainter& p, bool redo) {
    QPainterPath path;
    if (redo) {
        path.moveTo(6, 17);
        path.cubicTo(6, 9, 14, 7, 18, 11);
    } else {
        path.moveTo(18, 17);
        path.cubicTo(18, 9, 10, 7, 6, 11);
    }
    p.setPen(QPen(kInk, 2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    QPolygonF head = redo ? QPolygonF({QPointF(20, 6), QPointF(20, 14), QPointF(13, 12)})
                          : QPolygonF({QPointF(4, 6), QPointF(4, 14), QPointF(11, 12)});
    p.drawPolygon(head);
}

void letter(QPainter& p, const QString& text, const QRectF& r, int px) {
    QFont f = p.font();
    f.setPixelSize(px);
    f.setBold(true);
    p.setFont(f);
    p.setPen(kInk);
    p.drawText(r, Qt::AlignCenter, text);
}

void draw(QPainter& p, DesignerIcon icon) {
    switch (icon) {
    case DesignerIcon::Open:
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(QColor(0xfd, 0xe6, 0x8a));
        p.drawPolygon(QPolygonF(
            {QPointF(3, 7), QPointF(9, 7), QPointF(11, 9), QPointF(21, 9), QPointF(21, 19), QPointF(3, 19)}));
        break;
    case DesignerIcon::Save:
        box(p, QRectF(4, 4, 16, 16), kAccent);
        p.fillRect(QRectF(7, 4.6, 10, 5), Qt::white);
        p.fillRect(QRectF(7, 13, 10, 6.4), Qt::white);
        break;
    case DesignerIcon::Undo:
        arrow(p, false);
        break;
    case DesignerIcon::Redo:
        arrow(p, true);
        break;
    case DesignerIcon::Cut:
        p.setPen(QPen(kInk, 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(4, 14, 6, 6));
        p.drawEllipse(QRectF(14, 14, 6, 6));
        p.drawLine(QPointF(9, 15), QPointF(17, 3));
        p.drawLine(QPointF(15, 15), QPointF(7, 3));
        break;
    case DesignerIcon::Copy:
        box(p, QRectF(4, 3, 11, 14), Qt::white);
        box(p, QRectF(9, 7, 11, 14), Qt::white);
        break;
    case DesignerIcon::Paste:
        box(p, QRectF(4, 5, 14, 16), QColor(0xfd, 0xe6, 0x8a));
        box(p, QRectF(9, 9, 11, 12), Qt::white);
        p.fillRect(QRectF(8, 3, 6, 4), kInk);
        break;
    case DesignerIcon::Delete:
        p.setPen(QPen(QColor(0xdc, 0x26, 0x26), 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6, 6), QPointF(18, 18));
        p.drawLine(QPointF(18, 6), QPointF(6, 18));
        break;
    case DesignerIcon::Text:
        letter(p, QStringLiteral("A"), QRectF(2, 2, 20, 20), 17);
        break;
    case DesignerIcon::Line:
        p.setPen(QPen(kInk, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 19), QPointF(20, 5));
        break;
    case DesignerIcon::Rect:
        box(p, QRectF(4, 6, 16, 12), Qt::white);
        break;
    case DesignerIcon::Image:
        box(p, QRectF(3, 5, 18, 14), Qt::white);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x16, 0xa3, 0x4a));
        p.drawPolygon(
            QPolygonF({QPointF(4, 18), QPointF(10, 10), QPointF(14, 15), QPointF(16, 12), QPointF(20, 18)}));
        p.setBrush(QColor(0xf5, 0x9e, 0x0b));
        p.drawEllipse(QRectF(15, 7, 3.5, 3.5));
        break;
    case DesignerIcon::Barcode:
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        for (double x : {4.0, 6.5, 8.0, 11.0, 12.5, 15.5, 17.0, 19.0})
            p.drawRect(QRectF(x, 5, x == 6.5 || x == 12.5 || x == 19.0 ? 1.5 : 1, 14));
        break;
    case DesignerIcon::AlignLeft:
        bar(p, 4, 3, 4, 21);
        box(p, QRectF(6, 6, 14, 4), kSoft);
        box(p, QRectF(6, 14, 9, 4), kSoft);
        break;
    case DesignerIcon::AlignRight:
        bar(p, 20, 3, 20, 21);
        box(p, QRectF(4, 6, 14, 4), kSoft);
        box(p, QRectF(9, 14, 9, 4), kSoft);
        break;
    case DesignerIcon::AlignTop:
        bar(p, 3, 4, 21, 4);
        box(p, QRectF(6, 6, 4, 14), kSoft);
        box(p, QRectF(14, 6, 4, 9), kSoft);
        break;
    case DesignerIcon::AlignBottom:
        bar(p, 3, 20, 21, 20);
        box(p, QRectF(6, 4, 4, 14), kSoft);
        box(p, QRectF(14, 9, 4, 9), kSoft);
        break;
    case DesignerIcon::AlignCentreH:
        bar(p, 12, 2, 12, 22);
        box(p, QRectF(4, 6, 16, 4), kSoft);
        box(p, QRectF(7, 14, 10, 4), kSoft);
        break;
    case DesignerIcon::AlignCentreV:
        bar(p, 2, 12, 22, 12);
        box(p, QRectF(6, 4, 4, 16), kSoft);
        box(p, QRectF(14, 7, 4, 10), kSoft);
        break;
    case DesignerIcon::SameWidth:
        box(p, QRectF(5, 4, 14, 5), kSoft);
        box(p, QRectF(5, 15, 14, 5), kSoft);
        bar(p, 5, 12, 19, 12);
        break;
    case DesignerIcon::SameHeight:
        box(p, QRectF(4, 5, 5, 14), kSoft);
        box(p, QRectF(15, 5, 5, 14), kSoft);
        bar(p, 12, 5, 12, 19);
        break;
    case DesignerIcon::DistributeH:
        box(p, QRectF(3, 7, 4, 10), kSoft);
        box(p, QRectF(10, 7, 4, 10), kSoft);
        box(p, QRectF(17, 7, 4, 10), kSoft);
        break;
    case DesignerIcon::DistributeV:
        box(p, QRectF(7, 3, 10, 4), kSoft);
        box(p, QRectF(7, 10, 10, 4), kSoft);
        box(p, QRectF(7, 17, 10, 4), kSoft);
        break;
    case DesignerIcon::Front:
        box(p, QRectF(3, 3, 11, 11), Qt::white);
        box(p, QRectF(10, 10, 11, 11), kAccent);
        break;
    case DesignerIcon::Back:
        box(p, QRectF(10, 10, 11, 11), kAccent);
        box(p, QRectF(3, 3, 11, 11), Qt::white);
        break;
    case DesignerIcon::Grid:
        p.setPen(QPen(kInk, 1));
        for (int i = 4; i <= 20; i += 4) {
            p.drawLine(QPointF(i, 3), QPointF(i, 21));
            p.drawLine(QPointF(3, i), QPointF(21, i));
        }
        break;
    case DesignerIcon::Preview:
        box(p, QRectF(4, 3, 13, 17), Qt::white);
        p.setPen(QPen(kInk, 1));
        for (int y = 7; y <= 15; y += 3)
            p.drawLine(QPointF(6.5, y), QPointF(14.5, y));
        p.setPen(QPen(kAccent, 2));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(11, 11, 7, 7));
        p.drawLine(QPointF(17, 17), QPointF(21, 21));
        break;
    }
}

} // namespace

QIcon MakeDesignerIcon(DesignerIcon icon) {
    return MakePaintedIcon([icon](QPainter& p) { draw(p, icon); });
}

} // namespace verolux::reports
