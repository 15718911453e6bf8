#pragma once

#include "agent/reports/design/BandRef.h"
#include "agent/reports/design/Geometry.h"

#include <optional>
#include <utility>
#include <vector>

namespace verolux::reports::design {

// Where each band sits on the design page, in mm from the paper's top-left corner. The present bands
// stack down from the top margin in report order at their design height; the page footer sits at the
// bottom margin, where it prints, as long as the bands above leave room for it. A design taller than
// the paper makes the drawn sheet longer.
struct PlacedBand {
    BandRef ref;
    double top = 0, height = 0;
    double bottom() const { return top + height; }
};

struct DesignLayout {
    double paperWidth = 210, paperHeight = 297; // orientation applied
    double sheetHeight = 297;                   // >= paperHeight
    double left = 15, top = 15;                 // the band origin: left and top margins
    double contentWidth = 180;                  // between the margins
    std::vector<PlacedBand> bands;

    const PlacedBand* find(BandRef ref) const;
    // Band under a point of the page, or the nearest band above it; nullopt above the first band.
    std::optional<BandRef> bandAt(double y) const;
    // Band-relative to page coordinates and back.
    RectMm toPage(BandRef ref, const RectMm& r) const;
};

// `heightOverride` shows one band at another height (while its edge is dragged).
DesignLayout LayOutDesign(const Template& tmpl,
                          std::optional<std::pair<BandRef, double>> heightOverride = std::nullopt);

// An item's box in its band (lines normalised, so a line running up-left still has a positive box).
RectMm ItemBox(const Item& item);

// Topmost item at a page point (later items of a band are on top); lines are hit within `slop` mm.
std::optional<ItemRef> ItemAt(const Template& tmpl, const DesignLayout& layout, double x, double y,
                              double slop);

// Every item whose box lies within `area` (page coordinates), or touches it when `touching` is set.
std::vector<ItemRef> ItemsIn(const Template& tmpl, const DesignLayout& layout, const RectMm& area,
                             bool touching);

// Every item in reading order: band by band down the page, in each band top to bottom, then left to
// right (Tab steps through them so).
std::vector<ItemRef> ReadingOrder(const Template& tmpl, const DesignLayout& layout);

// The band whose lower edge is within `slop` mm of y (the edge is dragged to change the band's height).
std::optional<BandRef> BandEdgeAt(const DesignLayout& layout, double y, double slop);

} // namespace verolux::reports::design
