#pragma once

#include "agent/reports/barcode/Barcode.h"
#include "agent/reports/engine/PageCanvas.h"
#include "agent/reports/engine/Pictures.h"
#include "agent/reports/layout/PageLayout.h"
#include "agent/reports/layout/TextMeasurer.h"

#include <map>
#include <string>

namespace verolux::reports {

// Draws laid-out pages onto a canvas: the one place that decides how an item looks (fills, text
// alignment, clipping, borders, underlines, barcodes, pictures), whatever the device.
class PagePainter {
  public:
    PagePainter(const Template& tmpl, TextMeasurer& measurer);

    void paint(const Page& page, PageCanvas& canvas);

  private:
    struct PenKey {
        uint32_t color;
        float width;
        bool operator<(const PenKey& o) const { return color != o.color ? color < o.color : width < o.width; }
    };

    void drawText(const Page& page, const PageItem& item, PageCanvas& canvas);
    void drawImage(const PageItem& item, PageCanvas& canvas);
    void drawBarcode(const Page& page, const PageItem& item, PageCanvas& canvas);
    void addBorders(const PageItem& item);

    const Template& m_t;
    TextMeasurer& m_measurer;
    PictureCache m_pictures;
    std::map<std::pair<const Item*, std::string>, barcode::BarcodeResult> m_barcodes;
    std::map<PenKey, QVector<QLineF>> m_lines; // borders, lines and underlines: one call per pen
};

} // namespace verolux::reports
