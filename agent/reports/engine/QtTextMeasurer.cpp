#include "engine/QtTextMeasurer.h"

#include <QString>

namespace verolux::reports {

namespace {
constexpr double kDpi = 1200;
constexpr double kMmPerPixel = 25.4 / kDpi;

bool isAscii(std::string_view s)
{
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}
} // namespace

QtTextMeasurer::QtTextMeasurer(const Template& tmpl, const StyleFonts& fonts)
    : m_fonts(fonts), m_device(1, 1, QImage::Format_Mono)
{
    const int dotsPerMeter = static_cast<int>(kDpi / 0.0254 + 0.5);
    m_device.setDotsPerMeterX(dotsPerMeter);
    m_device.setDotsPerMeterY(dotsPerMeter);
    m_metrics.resize(tmpl.styles.size());
}

QtTextMeasurer::Metrics& QtTextMeasurer::metrics(int style)
{
    Metrics& m = m_metrics[size_t(style)];
    if (!m.fm) {
        m.fm = std::make_unique<QFontMetricsF>(m_fonts.font(style), &m_device);
        m.lineHeight = m.fm->lineSpacing() * kMmPerPixel;
        m.ascent = m.fm->ascent() * kMmPerPixel;
    }
    return m;
}

double QtTextMeasurer::textWidth(int style, std::string_view text)
{
    if (text.empty()) return 0;
    Metrics& m = metrics(style);
    m_key.assign(text);
    auto it = m.widths.find(m_key);
    if (it != m.widths.end()) return it->second;
    QString s = isAscii(text) ? QString::fromLatin1(text.data(), qsizetype(text.size()))
                              : QString::fromUtf8(text.data(), qsizetype(text.size()));
    double w = m.fm->horizontalAdvance(s) * kMmPerPixel;
    // Long free texts are rarely measured twice; keep the cache for the short repeating ones.
    if (text.size() <= 256) m.widths.emplace(m_key, w);
    return w;
}

} // namespace verolux::reports
