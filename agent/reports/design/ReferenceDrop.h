#pragma once

#include "agent/reports/design/DesignDocument.h"
#include "agent/reports/design/DesignLayout.h"

#include <functional>
#include <string>
#include <vector>

namespace verolux::reports::design {

// How wide a text is in a style's font, in mm (the widgets measure with the real font; tests count).
using TextWidth = std::function<double(const TextStyle& style, const std::string& text)>;

// A reference dragged from the outline onto a band ("{orderNo}", with "orderNo" as its column title).
struct ReferenceDrop {
    std::string text;
    std::string title;
};

// One undoable step: a text item holding the reference at (x, y) of `band` (band coordinates), as wide
// as its text or a typical value of it needs. Dropped into the detail band, the cell fills the band's
// height and takes the named style "cell" when there is one; its title goes into the column header
// above it (style "head", the header's height; the header turned on when it is off), both as wide as
// the wider of the two. They go where dropped when that column is free in both bands, else to the next
// free column (right of everything there). Selects what it placed. `grid` rounds positions and sizes.
std::vector<ItemRef> DropReference(DesignDocument& doc, BandRef band, double x, double y,
                                   const ReferenceDrop& drop, const TextWidth& width, double grid);

} // namespace verolux::reports::design
