#include "agent/desktop/CalibrationPage.h"

#include <QBuffer>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <cmath>

namespace verolux {
namespace {

// The page in millimetres from the paper's top-left corner, moved as reports are on this printer.
void Draw(QPainter& p, double dotsPerMm, double widthMm, double heightMm, const PrinterOffset& offset) {
    p.scale(dotsPerMm, dotsPerMm);
    p.translate(offset.xMm(), offset.yMm());
    p.setPen(QPen(Qt::black, 0.2));
    p.drawRect(QRectF(5, 5, widthMm - 10, heightMm - 10));
    p.drawLine(QLineF(10, 0, 10, heightMm));
    p.drawLine(QLineF(0, 10, widthMm, 10));
    for (int mm = 0; mm <= 20; ++mm) {
        const double tick = mm % 5 ? 1.0 : 2.0;
        p.drawLine(QLineF(10 + mm, 10 - tick, 10 + mm, 10));
        p.drawLine(QLineF(10 - tick, 10 + mm, 10, 10 + mm));
    }
    QFont font = p.font();
    font.setPointSizeF(2.5 / 0.3528); // 2.5 mm high
    p.setFont(font);
    p.drawText(QPointF(12, 16),
               QStringLiteral("X %1 mm  Y %2 mm").arg(offset.xMm(), 0, 'f', 1).arg(offset.yMm(), 0, 'f', 1));
}

} // namespace

std::string CalibrationPdf(double widthMm, double heightMm, const PrinterOffset& offset) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(1200);
        writer.setTitle(QStringLiteral("校准页"));
        writer.setPageLayout(QPageLayout(
            QPageSize(QSizeF(widthMm, heightMm), QPageSize::Millimeter, QString(), QPageSize::ExactMatch),
            QPageLayout::Portrait, QMarginsF()));
        QPainter p(&writer);
        Draw(p, writer.resolution() / 25.4, widthMm, heightMm, offset);
    }
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

std::string CalibrationPng(double widthMm, double heightMm, const PrinterOffset& offset, int dpi) {
    const double dotsPerMm = dpi / 25.4;
    QImage image(int(std::lround(widthMm * dotsPerMm)), int(std::lround(heightMm * dotsPerMm)),
                 QImage::Format_Grayscale8);
    image.setDotsPerMeterX(int(std::lround(dotsPerMm * 1000)));
    image.setDotsPerMeterY(int(std::lround(dotsPerMm * 1000)));
    image.fill(Qt::white);
    {
        QPainter p(&image);
        p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        Draw(p, dotsPerMm, widthMm, heightMm, offset);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

} // namespace verolux
