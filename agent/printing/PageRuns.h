#pragma once

#include "agent/printing/PageRanges.h"

#include <string>
#include <string_view>
#include <vector>

namespace verolux {

// A page's size in points (1/72 inch).
struct PagePoints {
    double width = 0, height = 0;
};

// Pages of one paper size, printed as one job: `ranges` as CUPS' page-ranges ("1-3,5").
struct PageRun {
    std::string ranges;
    PagePoints size;
    friend bool operator==(const PageRun& a, const PageRun& b) {
        return a.ranges == b.ranges && a.size.width == b.size.width && a.size.height == b.size.height;
    }
};

// Splits a document's selected pages (`pages` as a job gives them, "" for all) into runs of
// consecutive pages of one paper size: the same size either way round, within a point. Pages left
// out split nothing. Empty when no page is selected.
std::vector<PageRun> SplitByPaper(const std::vector<PagePoints>& sizes, std::string_view pages);

// Whether page n (from 1) is among the ranges ReadPageRanges gave for a valid list (nothing, for "": all).
bool PageSelected(const std::optional<std::vector<PageRange>>& ranges, int n);

} // namespace verolux
