#pragma once

#include <algorithm>

namespace verolux::reports::design {

// A rectangle in millimetres. Kept here rather than borrowed from Qt: the editing core is plain C++.
struct RectMm {
    double x = 0, y = 0, w = 0, h = 0;

    double right() const { return x + w; }
    double bottom() const { return y + h; }
    double centerX() const { return x + w / 2; }
    double centerY() const { return y + h / 2; }
    bool contains(double px, double py) const {
        return px >= x && px <= right() && py >= y && py <= bottom();
    }
    bool intersects(const RectMm& o) const {
        return x < o.right() && o.x < right() && y < o.bottom() && o.y < bottom();
    }
    RectMm translated(double dx, double dy) const { return {x + dx, y + dy, w, h}; }
    RectMm united(const RectMm& o) const {
        const double l = std::min(x, o.x), t = std::min(y, o.y);
        return {l, t, std::max(right(), o.right()) - l, std::max(bottom(), o.bottom()) - t};
    }
    // The same rectangle with a non-negative width and height (lines may run up or left).
    RectMm normalized() const {
        RectMm r = *this;
        if (r.w < 0) r.x += r.w, r.w = -r.w;
        if (r.h < 0) r.y += r.h, r.h = -r.h;
        return r;
    }
    friend bool operator==(const RectMm&, const RectMm&) = default;
};

// Lengths in the file are kept to a tenth of a micrometre, so moving by 0.1 mm steps never leaves
// 12.300000000000001 in a template.
double RoundMm(double v);

} // namespace verolux::reports::design
