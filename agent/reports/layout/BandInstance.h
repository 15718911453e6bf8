#pragma once

#include "agent/reports/layout/PageLayout.h"
#include "agent/reports/layout/TextMeasurer.h"
#include "agent/reports/model/Template.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace verolux::reports {

// Where the page count goes in the text of an item: known only once the last page is laid out.
struct PageCountMark {
    uint32_t item = 0;   // index into the items
    uint32_t offset = 0; // byte offset into that item's text
};

// One band laid out for one place in the report: its items relative to the band's top-left corner,
// their texts (lines separated by '\n') and the height it takes.
struct BandInstance {
    std::vector<PageItem> items;
    std::string text;                      // may hold text no item points to (the part a split took away)
    std::vector<PageCountMark> pageCounts; // in item order, then offset order
    std::vector<uint32_t> lineCounts;      // per item: the lines of its text, so a cut need not count them
    double height = 0;

    std::string_view textOf(const PageItem& item) const {
        return std::string_view(text).substr(item.textOffset, item.textLength);
    }
    void clear();
    // Appends an item with its text; `counts` are offsets into `itemText`.
    void add(PageItem item, std::string_view itemText, const PageCountMark* counts = nullptr,
             size_t countCount = 0);
};

struct BandSplit {
    BandInstance head; // what lies above the cut; exactly `limit` high
    BandInstance rest; // the remainder, moved up so that the cut is its top
};

// Cuts a band that does not fit at `limit` mm below its top. The rest keeps the band's text buffer, so
// cutting a long text page after page copies each line once. Items above the cut stay, items below it
// move to the rest. Text and rectangles that cross the cut are divided between two lines of their text:
// the head keeps as many whole lines as fit above the cut inside the item's padding (top and bottom).
// Text that grows keeps room for all its lines in the rest, padding included (the head's padding and
// the part of a line it could not use would otherwise be taken from the rest, page after page, until
// its last lines fall outside the cell); the rest's cells that reached its bottom grow with it.
// Images, barcodes and lines are never cut: they go whole to the rest.
BandSplit SplitBand(BandInstance band, double limit, const Template& tmpl, TextMeasurer& measurer);

// The height of what SplitBand leaves below the cut, before text that grows takes room for its lines:
// no less than the band if nothing can be cut.
double SplitRestHeight(const BandInstance& band, double limit);

} // namespace verolux::reports
