#pragma once

#include "agent/reports/layout/BandEvaluator.h"
#include "agent/reports/layout/BandInstance.h"
#include "agent/reports/layout/PageLayout.h"
#include "agent/reports/layout/TextMeasurer.h"
#include "agent/reports/model/Template.h"

#include <string>
#include <vector>

namespace verolux::reports {

// Thrown when the report reaches a limit of LayoutLimits.h; Paginate turns it into the report's error.
struct LayoutLimitReached {
    std::string reason;
};

// The pages one after the other. Each page opens with the page header, on the first page the report
// header, the column header and the headers of the groups that go on; bands follow below each other
// and move to the next page when they do not fit; the page footer closes each page at its fixed place.
class PageFlow {
  public:
    PageFlow(const Template& tmpl, BandEvaluator& values, TextMeasurer& measurer);

    void begin();           // opens the first page
    LaidOutReport finish(); // closes the last page and fills in the page count everywhere

    // Places a band below what the page holds. It moves to the next page when it and `keep` mm after it
    // (what must stay with it) do not fit, unless the page holds no body yet; taller than the room on the
    // page, it is cut between lines and goes on on the next pages. `body`: once placed, the page counts
    // as used. `row`: the detail row it shows, for the page description (-1 for other bands).
    void placeBand(const CompiledBand& band, const BandContext& ctx, double keep, bool body, int row = -1);
    // The same, at the bottom of the room the page has for bands (just above the page footer).
    void placeAtBottom(const CompiledBand& band, const BandContext& ctx);
    // A laid-out band on the current page, its top at `y` mm from the top of the paper, moved `x` mm right
    // (detail columns).
    void put(const BandInstance& band, double y, double x = 0);
    void breakPage();

    double y() const { return m_y; }
    void setY(double y) { m_y = y; }
    double bodyBottom() const { return m_bodyBottom; }
    bool bodyUsed() const { return m_bodyUsed; }
    void useBody() { m_bodyUsed = true; }
    int pageNumber() const { return static_cast<int>(m_out.pages.size()) + 1; }
    void addEvent(std::string event) { m_page.info.events.push_back(std::move(event)); }
    void noteRows(int first, int last);

    // The row that the next band shows, for the page header of a page a break opens; -1: none.
    void setNextRow(int row) { m_nextRow = row; }
    // A detail row on the current page: it counts in the page totals.
    void countRow(int row);

  private:
    void startPage(bool first);
    void finishPage();
    void placeFixed(const CompiledBand& band, const BandContext& ctx);
    void fillPageCount();

    const Template& m_tmpl;
    BandEvaluator& m_values;
    TextMeasurer& m_measurer;
    LaidOutReport m_out;
    std::vector<std::vector<PageCountMark>> m_pageCounts; // by page: marks by item index of the page

    Page m_page;
    std::vector<PageCountMark> m_counts; // of the current page
    BandInstance m_band;                 // kept between bands so that its buffers are reused
    size_t m_items = 0, m_textBytes = 0; // placed so far, on all pages
    double m_bodyTop = 0, m_bodyBottom = 0, m_y = 0;
    bool m_bodyUsed = false;
    int m_nextRow = -1, m_lastRow = -1;
};

} // namespace verolux::reports
