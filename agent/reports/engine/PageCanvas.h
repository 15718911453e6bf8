#pragma once

#include <QImage>
#include <QLineF>
#include <QRectF>
#include <QVector>

#include <cstdint>
#include <string_view>

namespace verolux::reports {

// What a page is drawn onto. Coordinates in mm from the paper's top-left corner; colours 0xAARRGGBB.
// PagePainter decides what goes where; a canvas only puts it on its device: QPainter (screen, printer,
// Qt's PDF engine) or the direct PDF writer.
class PageCanvas {
  public:
    virtual ~PageCanvas() = default;
    virtual void fillRect(const QRectF& box, uint32_t color) = 0;
    virtual void fillRects(const QVector<QRectF>& boxes, uint32_t color) = 0;
    virtual void drawLines(const QVector<QLineF>& lines, uint32_t color, double width) = 0;
    // `key` identifies the picture for caching (the same logo on every page is stored once).
    virtual void drawImage(const QRectF& box, const QImage& image, const void* key) = 0;
    // One line of text with its baseline starting at (x, baseline), in the font of template style `style`.
    virtual void drawText(double x, double baseline, int style, std::string_view text, uint32_t color) = 0;
    virtual void pushClip(const QRectF& box) = 0;
    virtual void popClip() = 0;
};

} // namespace verolux::reports
