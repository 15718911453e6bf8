#include "agent/reports/viewer/ViewerGeometry.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace verolux::reports {

const std::vector<double>& ViewerGeometry::ZoomSteps() {
    static const std::vector<double> steps{0.1, 0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 3.0, 4.0, 6.0, 8.0};
    return steps;
}

double ViewerGeometry::Clamp(double zoom) {
    if (!(zoom > 0)) return 1.0; // NaN or non-positive: back to real size
    return std::clamp(zoom, kMinZoom, kMaxZoom);
}

std::optional<double> ViewerGeometry::ParseZoomPercent(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    if (!text.empty() && text.back() == '%') text.remove_suffix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    if (text.empty() || !(text.front() >= '0' && text.front() <= '9')) return std::nullopt;
    double percent = 0;
    const auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), percent, std::chars_format::fixed);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(percent) || percent <= 0)
        return std::nullopt;
    return Clamp(percent / 100);
}

// The next step strictly above the current zoom, so a fitted zoom of 83 % goes to 100 %.
double ViewerGeometry::ZoomIn(double zoom) {
    for (double s : ZoomSteps())
        if (s > zoom + 1e-6) return s;
    return kMaxZoom;
}

double ViewerGeometry::ZoomOut(double zoom) {
    const auto& steps = ZoomSteps();
    for (auto it = steps.rbegin(); it != steps.rend(); ++it)
        if (*it < zoom - 1e-6) return *it;
    return kMinZoom;
}

double ViewerGeometry::FitWidth(const std::vector<PageSizeMm>& pages, int viewportWidth, double dpi) {
    double widest = 0;
    for (const auto& p : pages)
        widest = std::max(widest, p.width);
    if (widest <= 0 || dpi <= 0) return 1.0;
    const int room = viewportWidth - 2 * kGap;
    if (room <= 0) return kMinZoom;
    return Clamp(room / PixelsPerMm(1.0, dpi) / widest);
}

double ViewerGeometry::FitPage(const std::vector<PageSizeMm>& pages, int viewportWidth, int viewportHeight,
                               double dpi) {
    double widest = 0, tallest = 0;
    for (const auto& p : pages) {
        widest = std::max(widest, p.width);
        tallest = std::max(tallest, p.height);
    }
    if (widest <= 0 || tallest <= 0 || dpi <= 0) return 1.0;
    const int roomW = viewportWidth - 2 * kGap, roomH = viewportHeight - 2 * kGap;
    if (roomW <= 0 || roomH <= 0) return kMinZoom;
    const double unit = PixelsPerMm(1.0, dpi);
    return Clamp(std::min(roomW / unit / widest, roomH / unit / tallest));
}

std::vector<PageRect> ViewerGeometry::Layout(const std::vector<PageSizeMm>& pages, double zoom, double dpi,
                                             int viewportWidth, ViewMode mode, int current) {
    std::vector<PageRect> rects(pages.size());
    const double ppm = PixelsPerMm(zoom, dpi);
    int widest = 0;
    for (const auto& p : pages)
        widest = std::max(widest, static_cast<int>(std::lround(p.width * ppm)));
    const int area = std::max(viewportWidth, widest + 2 * kGap);
    int y = kGap;
    for (size_t i = 0; i < pages.size(); ++i) {
        if (mode == ViewMode::SinglePage && static_cast<int>(i) != current) continue;
        PageRect& r = rects[i];
        r.w = std::max(1, static_cast<int>(std::lround(pages[i].width * ppm)));
        r.h = std::max(1, static_cast<int>(std::lround(pages[i].height * ppm)));
        r.x = (area - r.w) / 2;
        r.y = y;
        y += r.h + kGap;
    }
    return rects;
}

void ViewerGeometry::ContentSize(const std::vector<PageRect>& rects, int viewportWidth, int& width,
                                 int& height) {
    int right = 0, bottom = 0;
    for (const auto& r : rects) {
        if (r.w == 0) continue;
        right = std::max(right, r.x + r.w);
        bottom = std::max(bottom, r.y + r.h);
    }
    width = std::max(viewportWidth, right + kGap);
    height = bottom + kGap;
}

int ViewerGeometry::PageAt(const std::vector<PageRect>& rects, int scrollY, int viewportHeight) {
    const int probe = scrollY + viewportHeight / 3;
    int best = 0, bestDistance = -1;
    for (size_t i = 0; i < rects.size(); ++i) {
        const PageRect& r = rects[i];
        if (r.w == 0) continue;
        if (probe >= r.y && probe < r.y + r.h + kGap) return static_cast<int>(i);
        const int d = std::min(std::abs(probe - r.y), std::abs(probe - (r.y + r.h)));
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

} // namespace verolux::reports
