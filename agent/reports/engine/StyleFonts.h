#pragma once

#include "agent/reports/model/Template.h"

#include <QFont>
#include <QFontMetricsF>

#include <vector>

namespace verolux::reports {

// One QFont per template style, built once: creating fonts per cell is one of the slow paths.
class StyleFonts {
  public:
    explicit StyleFonts(const Template& tmpl);
    const QFont& font(int style) const { return m_fonts[size_t(style)]; }
    int count() const { return static_cast<int>(m_fonts.size()); }

  private:
    std::vector<QFont> m_fonts;
};

} // namespace verolux::reports
