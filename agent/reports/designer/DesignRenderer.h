#pragma once

#include "agent/reports/design/DesignLayout.h"
#include "agent/reports/design/RowValues.h"

#include <QPainter>

#include <cstdint>
#include <memory>
#include <vector>

namespace verolux::reports {

class StyleFonts;
class QtTextMeasurer;
class PagePainter;

// Draws design items with the engine's own page painter, so the design looks exactly as the report
// prints: the same fonts, wrapping, borders, pictures and barcodes. References are shown as written;
// an item's conditional formatting applies as it does on the sample row (its style, or hidden).
class DesignRenderer {
  public:
    // One item where it is drawn, in page mm (x, y, w, h as in the file: a line may run left or up).
    struct Placed {
        const Item* item;
        double x, y, w, h;
    };

    DesignRenderer();
    ~DesignRenderer();

    // Call before painting: rebuilds fonts and the painter when the template changed. The items
    // painted must belong to this template and generation.
    void sync(const Template& tmpl, uint64_t generation);
    // The row rule conditions are evaluated on (the first sample or request row).
    void setSampleRow(design::SampleRow row);

    // The painter's unit is one millimetre with the paper's top-left corner at the origin.
    void paint(QPainter& painter, const std::vector<Placed>& items);

    // Every item of the present bands where the layout puts them.
    static std::vector<Placed> PlaceAll(const Template& tmpl, const design::DesignLayout& layout);

  private:
    const Template* m_t = nullptr;
    // What is painted: m_t, or a copy with the styles its rules make (as the report prints).
    std::unique_ptr<Template> m_ruleCopy;
    const Template* m_print = nullptr;
    design::SampleRow m_row;
    uint64_t m_generation = 0;
    std::unique_ptr<StyleFonts> m_fonts;
    std::unique_ptr<QtTextMeasurer> m_measurer;
    std::unique_ptr<PagePainter> m_painter;
};

} // namespace verolux::reports
