#pragma once

#include <string_view>

namespace verolux::reports {

// How wide text is, asked by the pure pagination without knowing about fonts. The Qt implementation
// measures with the real fonts and caches; tests use a simple deterministic one.
class TextMeasurer {
  public:
    virtual ~TextMeasurer() = default;
    // Advance width in mm of one line of UTF-8 text in the template style `style`.
    virtual double textWidth(int style, std::string_view text) = 0;
    // Distance between the baselines of two lines, in mm.
    virtual double lineHeight(int style) = 0;
    // From the top of a line to its baseline, in mm (for drawing; pagination does not need it).
    virtual double ascent(int style) { return 0.8 * lineHeight(style); }
};

} // namespace verolux::reports
