#pragma once

#include "agent/reports/engine/StyleFonts.h"
#include "agent/reports/layout/TextMeasurer.h"

#include <QImage>
#include <QRawFont>

#include <array>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace verolux::reports {

// Measures with the real fonts at 1200 dpi (the PDF resolution), so the layout holds on every device.
// Widths are cached per style and text: a report repeats the same customer names, dates and amounts.
class QtTextMeasurer : public TextMeasurer {
  public:
    QtTextMeasurer(const Template& tmpl, const StyleFonts& fonts);

    double textWidth(int style, std::string_view text) override;
    double lineHeight(int style) override { return metrics(style).lineHeight; }
    double ascent(int style) override { return metrics(style).ascent; }

  private:
    struct Metrics {
        std::unique_ptr<QFontMetricsF> fm;
        double lineHeight = 0, ascent = 0; // mm
        // Widths are sums of glyph advances, looked up once per character: no shaping per string.
        QRawFont raw;
        std::array<double, 128> ascii{};                // < 0 until looked up
        std::unordered_map<char32_t, double> advances;  // < 0: not in the font
        std::unordered_map<std::string, double> widths; // texts that need a fallback font
    };
    double advance(Metrics& m, char32_t cp);
    Metrics& metrics(int style);

    const StyleFonts& m_fonts;
    QImage m_device; // only lends its resolution to the metrics
    std::vector<Metrics> m_metrics;
    std::string m_key;
};

} // namespace verolux::reports
