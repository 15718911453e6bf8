#include "agent/reports/engine/QtTextMeasurer.h"

#include "agent/reports/engine/PdfFont.h"
#include "common/Utf8Decode.h"

#include <QString>
#include <cmath>

namespace verolux::reports {

namespace {
constexpr double kDpi = 1200;
constexpr double kMmPerPixel = 25.4 / kDpi;

bool isAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}
} // namespace

QtTextMeasurer::QtTextMeasurer(const Template& tmpl, const StyleFonts& fonts)
    : m_fonts(fonts), m_device(1, 1, QImage::Format_Mono) {
    const int dotsPerMeter = static_cast<int>(std::lround(kDpi / 0.0254));
    m_device.setDotsPerMeterX(dotsPerMeter);
    m_device.setDotsPerMeterY(dotsPerMeter);
    m_metrics.resize(tmpl.styles.size());
}

QtTextMeasurer::Metrics& QtTextMeasurer::metrics(int style) {
    Metrics& m = m_metrics[size_t(style)];
    if (!m.fm) {
        m.fm = std::make_unique<QFontMetricsF>(m_fonts.font(style), &m_device);
        m.lineHeight = m.fm->lineSpacing() * kMmPerPixel;
        m.ascent = m.fm->ascent() * kMmPerPixel;
        m.raw = QRawFont::fromFont(m_fonts.font(style));
        if (m.raw.isValid()) m.raw.setPixelSize(m_fonts.font(style).pointSizeF() * kDpi / 72);
        m.ascii.fill(-1);
    }
    return m;
}

double QtTextMeasurer::advance(Metrics& m, char32_t cp) {
    if (cp < 128 && m.ascii[cp] >= 0) return m.ascii[cp];
    if (cp >= 128) {
        auto it = m.advances.find(cp);
        if (it != m.advances.end()) return it->second;
    }
    double w = -1;
    if (m.raw.isValid()) {
        if (const quint32 glyph = GlyphIndex(m.raw, cp)) {
            QPointF adv;
            if (m.raw.advancesForGlyphIndexes(&glyph, &adv, 1, QRawFont::UseDesignMetrics))
                w = adv.x() * kMmPerPixel;
        }
    }
    if (cp < 128)
        m.ascii[cp] = w < 0 ? -2 : w; // -2: ask the fallback each time (rare)
    else
        m.advances.emplace(cp, w);
    return w;
}

double QtTextMeasurer::textWidth(int style, std::string_view text) {
    if (text.empty()) return 0;
    Metrics& m = metrics(style);
    double sum = 0;
    bool missing = false;
    for (size_t i = 0; i < text.size() && !missing;) {
        char32_t cp;
        i += DecodeUtf8(text, i, cp);
        double a = advance(m, cp);
        if (a < 0)
            missing = true;
        else
            sum += a;
    }
    if (!missing) return sum;
    // A character the style's font lacks: Qt draws it from a fallback font, so measure as Qt does.
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
