#pragma once

#include "barcode/Barcode.h"
#include "engine/QtTextMeasurer.h"
#include "engine/StyleFonts.h"
#include "layout/PageLayout.h"

#include <QImage>
#include <QPainter>

#include <map>
#include <string>
#include <unordered_map>

namespace verolux::reports {

// Draws laid-out pages. One painter for PDF, printer and screen: it draws in the device's own
// pixels (device dpi / 25.4 per mm), with the paper's top-left corner at the painter's origin;
// a caller may scale or translate the painter first (zoom, printer offsets).
class PagePainter {
public:
    PagePainter(const Template& tmpl, const StyleFonts& fonts, QtTextMeasurer& measurer);

    void paint(const Page& page, QPainter& painter);

private:
    struct PenKey {
        uint32_t color;
        float width;
        bool operator<(const PenKey& o) const { return color != o.color ? color < o.color : width < o.width; }
    };

    void drawText(const Page& page, const PageItem& item, QPainter& p, double scale);
    void drawImage(const PageItem& item, QPainter& p, double scale);
    void drawBarcode(const Page& page, const PageItem& item, QPainter& p, double scale);
    void addBorders(const PageItem& item, double scale);

    const Template& m_t;
    const StyleFonts& m_fonts;
    QtTextMeasurer& m_measurer;
    std::unordered_map<const Item*, QImage> m_images;
    std::map<std::pair<const Item*, std::string>, barcode::BarcodeResult> m_barcodes;
    std::map<PenKey, QVector<QLineF>> m_lines; // borders and lines, drawn in one call per pen
    QString m_line;
};

} // namespace verolux::reports
