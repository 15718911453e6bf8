#include "agent/reports/cups/MediaChoice.h"

#include "agent/reports/cups/PwgNames.h"

#include <cmath>
#include <cstdio>

namespace verolux::cups {
namespace {

constexpr double kSizeToleranceMm = 0.5;
// An error names at most this many of the printer's choices.
constexpr std::size_t kMaxNamed = 40;

std::string Named(const std::string& name, const std::string& text) {
    return text.empty() || text == name ? name : name + " (" + text + ")";
}

template <typename List, typename Describe> std::string Offered(const List& list, Describe describe) {
    if (list.empty()) return "none";
    std::string out;
    for (std::size_t i = 0; i < list.size() && i < kMaxNamed; ++i)
        out += (i ? ", " : "") + describe(list[i]);
    if (list.size() > kMaxNamed) out += ", …";
    return out;
}

bool Near(double a, double b) {
    return std::fabs(a - b) <= kSizeToleranceMm;
}

std::string Mm(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", std::round(v * 100) / 100);
    return text;
}

} // namespace

MediaDecision DecideMedia(const PrinterInfo& p, const MediaRequest& r) {
    MediaDecision d;
    if (!r.tray.empty()) {
        for (const Tray& t : p.trays)
            if (t.name == r.tray || t.text == r.tray) d.mediaSource = t.name;
        if (d.mediaSource.empty()) {
            d.error = "printer \"" + p.name + "\" has no tray \"" + r.tray + "\"; it offers " +
                      Offered(p.trays, [](const Tray& t) { return Named(t.name, t.text); });
            return d;
        }
    }
    const auto papers = [&p] {
        std::string custom;
        if (p.customMaxWidthMm > 0)
            custom = "; custom sizes from " + Mm(p.customMinWidthMm) + " × " + Mm(p.customMinHeightMm) +
                     " to " + Mm(p.customMaxWidthMm) + " × " + Mm(p.customMaxHeightMm) + " mm";
        return Offered(p.media, [](const MediaSize& m) { return Named(m.name, m.text); }) + custom;
    };
    if (!r.paperName.empty()) {
        for (const MediaSize& m : p.media)
            if (m.name == r.paperName || m.text == r.paperName) d.media = m.name;
        if (d.media.empty())
            d.error =
                "printer \"" + p.name + "\" has no paper \"" + r.paperName + "\"; it offers " + papers();
        return d;
    }
    if (r.widthMm <= 0 || r.heightMm <= 0) return d;
    const double w = std::min(r.widthMm, r.heightMm), h = std::max(r.widthMm, r.heightMm);
    for (const MediaSize& m : p.media)
        if (Near(std::min(m.widthMm, m.heightMm), w) && Near(std::max(m.widthMm, m.heightMm), h)) {
            d.media = m.name;
            return d;
        }
    const bool fits = p.customMaxWidthMm > 0 && w >= p.customMinWidthMm - kSizeToleranceMm &&
                      w <= p.customMaxWidthMm + kSizeToleranceMm &&
                      h >= p.customMinHeightMm - kSizeToleranceMm &&
                      h <= p.customMaxHeightMm + kSizeToleranceMm;
    if (!fits) {
        d.error = "printer \"" + p.name + "\" has no paper of " + Mm(r.widthMm) + " × " + Mm(r.heightMm) +
                  " mm; it offers " + papers();
        return d;
    }
    // As fed: the narrow side across. pwgFormatSizeName makes "custom_62x29mm_62x29mm".
    d.media = CustomSizeName(int(std::lround(w * 100)), int(std::lround(h * 100)));
    return d;
}

} // namespace verolux::cups
