#pragma once

#include "agent/reports/design/Geometry.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace verolux::reports::design {

struct SnapSettings {
    bool grid = true;
    double gridStep = 1; // mm; see docs/designer.md
    bool guides = true;
    double tolerance = 1; // mm: how close an edge must come to catch another item's edge (the canvas sets it)
};

// How far to shift a moving position so that it lands on an edge or on the grid.
struct SnapShift {
    double shift = 0;
    std::optional<double> guide; // the edge it caught, for drawing an alignment guide
};

double SnapToGrid(double v, double step);

// `candidates` are the moving positions on one axis (a box's left, centre and right, or one handle),
// `edges` those of the other items. The nearest pair within the tolerance wins; else the first
// candidate goes to the grid.
SnapShift SnapAxis(const std::vector<double>& candidates, const std::vector<double>& edges,
                   const SnapSettings& settings);

// The eight handles of a box, and the two ends of a line.
enum class Handle : uint8_t {
    None,
    TopLeft,
    Top,
    TopRight,
    Right,
    BottomRight,
    Bottom,
    BottomLeft,
    Left,
    LineStart,
    LineEnd
};

struct PointMm {
    double x = 0, y = 0;
};

// Where a handle sits on a box (for a line: on its geometry x, y, w, h as written).
PointMm HandlePoint(const RectMm& geometry, Handle handle);
// The geometry after dragging a handle to (x, y). Boxes flip rather than go negative; a line's end
// moves freely.
RectMm DragHandle(const RectMm& geometry, Handle handle, double x, double y);

} // namespace verolux::reports::design
