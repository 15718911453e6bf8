#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace verolux::reports {

// Where the pages of a report sit in the viewer's scrollable area, in device-independent pixels.
// Pure arithmetic so the zoom and paging rules can be tested without a window.

enum class ViewMode { SinglePage = 1, Continuous = 2 };

struct PageSizeMm {
    double width = 210, height = 297;
};

struct PageRect {
    int x = 0, y = 0, w = 0, h = 0;
};

struct ViewerGeometry {
    static constexpr int kGap = 16;         // between pages and around them
    static constexpr double kMinZoom = 0.1; // 10 %
    static constexpr double kMaxZoom = 8.0; // 800 %

    // Zoom steps offered by zoom in / zoom out (fractions of real size).
    static const std::vector<double>& ZoomSteps();
    static double ZoomIn(double zoom);
    static double ZoomOut(double zoom);
    static double Clamp(double zoom);
    // A zoom typed as a percentage ("135", "135%", " 62.5 % "), clamped to the zoom range; nothing for
    // any other text.
    static std::optional<double> ParseZoomPercent(std::string_view text);

    // Pixels of one millimetre at a zoom on a screen of `dpi` dots per inch.
    static double PixelsPerMm(double zoom, double dpi) { return zoom * dpi / 25.4; }

    // Zoom that makes the widest page (fit width) or the largest page (fit page) fill a viewport.
    static double FitWidth(const std::vector<PageSizeMm>& pages, int viewportWidth, double dpi);
    static double FitPage(const std::vector<PageSizeMm>& pages, int viewportWidth, int viewportHeight,
                          double dpi);

    // Page rectangles, centred horizontally in a viewport `viewportWidth` wide. In continuous mode
    // all pages are stacked; in single-page mode only `current` is placed (others get empty rects).
    static std::vector<PageRect> Layout(const std::vector<PageSizeMm>& pages, double zoom, double dpi,
                                        int viewportWidth, ViewMode mode, int current);
    // Total size of the scrollable area for a layout.
    static void ContentSize(const std::vector<PageRect>& rects, int viewportWidth, int& width, int& height);

    // The page the reader is on: the one covering the viewport's upper third, else the nearest.
    static int PageAt(const std::vector<PageRect>& rects, int scrollY, int viewportHeight);
};

} // namespace verolux::reports
