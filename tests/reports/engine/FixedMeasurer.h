#pragma once

#include "agent/reports/layout/TextMeasurer.h"
#include "agent/reports/model/Template.h"

#include <cstddef>
#include <cstdint>

// A measurer whose widths can be worked out by hand: at 10 pt an ASCII character is 2 mm wide, any
// other character 4 mm; a line is 5 mm high. Everything scales with the style's font size.
class FixedMeasurer : public verolux::reports::TextMeasurer {
  public:
    explicit FixedMeasurer(const verolux::reports::Template& t) : m_t(t) {}

    double textWidth(int style, std::string_view text) override {
        measuredBytes += text.size();
        double units = 0;
        for (const char c : text) // 2 for ASCII, 4 on the lead byte of any other character
            units += (c & 0x80) == 0 ? 2 : (c & 0xC0) != 0x80 ? 4 : 0;
        return units * scale(style);
    }
    double lineHeight(int style) override { return 5 * scale(style); }

    size_t measuredBytes = 0; // the work done, for tests of how it grows

  private:
    double scale(int style) const { return m_t.styles[size_t(style)].fontSize / 10.0; }
    const verolux::reports::Template& m_t;
};
