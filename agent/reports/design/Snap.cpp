#include "agent/reports/design/Snap.h"

#include <cmath>

namespace verolux::reports::design {

double SnapToGrid(double v, double step) {
    if (step <= 0) return v;
    return RoundMm(std::round(v / step) * step);
}

SnapShift SnapAxis(const std::vector<double>& candidates, const std::vector<double>& edges,
                   const SnapSettings& settings) {
    SnapShift out;
    if (candidates.empty()) return out;
    if (settings.guides) {
        double best = settings.tolerance;
        for (double c : candidates) {
            for (double e : edges) {
                const double d = std::abs(e - c);
                if (d <= best) {
                    best = d;
                    out.shift = e - c;
                    out.guide = e;
                }
            }
        }
        if (out.guide) return out;
    }
    if (settings.grid) out.shift = SnapToGrid(candidates.front(), settings.gridStep) - candidates.front();
    return out;
}

PointMm HandlePoint(const RectMm& g, Handle handle) {
    const double l = g.x, t = g.y, r = g.x + g.w, b = g.y + g.h, cx = g.x + g.w / 2, cy = g.y + g.h / 2;
    switch (handle) {
    case Handle::TopLeft:
        return {l, t};
    case Handle::Top:
        return {cx, t};
    case Handle::TopRight:
        return {r, t};
    case Handle::Right:
        return {r, cy};
    case Handle::BottomRight:
        return {r, b};
    case Handle::Bottom:
        return {cx, b};
    case Handle::BottomLeft:
        return {l, b};
    case Handle::Left:
        return {l, cy};
    case Handle::LineStart:
        return {l, t};
    case Handle::LineEnd:
        return {r, b};
    case Handle::None:
        break;
    }
    return {cx, cy};
}

RectMm DragHandle(const RectMm& g, Handle handle, double x, double y) {
    if (handle == Handle::LineStart) return {x, y, g.x + g.w - x, g.y + g.h - y};
    if (handle == Handle::LineEnd) return {g.x, g.y, x - g.x, y - g.y};
    const RectMm box = g.normalized();
    double l = box.x, t = box.y, r = box.right(), b = box.bottom();
    switch (handle) {
    case Handle::TopLeft:
        l = x, t = y;
        break;
    case Handle::Top:
        t = y;
        break;
    case Handle::TopRight:
        r = x, t = y;
        break;
    case Handle::Right:
        r = x;
        break;
    case Handle::BottomRight:
        r = x, b = y;
        break;
    case Handle::Bottom:
        b = y;
        break;
    case Handle::BottomLeft:
        l = x, b = y;
        break;
    case Handle::Left:
        l = x;
        break;
    default:
        break;
    }
    return RectMm{l, t, r - l, b - t}.normalized();
}

} // namespace verolux::reports::design
