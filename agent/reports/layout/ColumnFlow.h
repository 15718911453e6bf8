#pragma once

#include "agent/reports/layout/BandEvaluator.h"
#include "agent/reports/layout/BandInstance.h"
#include "agent/reports/layout/PageFlow.h"
#include "agent/reports/model/Template.h"

#include <vector>

namespace verolux::reports {

// Detail rows side by side, as on a label sheet. "across": rows fill a line left to right, and a line is
// placed whole, as tall as its tallest label. "down": rows fill a column to the bottom of the page, then
// the next column, then the next page.
class ColumnFlow {
  public:
    ColumnFlow(const Template& tmpl, BandEvaluator& values, PageFlow& pages, TextMeasurer& measurer);

    void add(int row);
    // Places the rows still waiting: the end of a line or of a section of columns. `balance`: a band
    // follows on the page, so the rows of a "down" section are first shared out evenly over its columns.
    void flush(bool balance);

  private:
    struct Cell { // a row waiting for its place
        int row = -1;
        int column = 0;
        double y = 0; // "down": below the top of the section
        BandInstance band;
    };

    Cell& newCell(int row);
    void evaluate(int row, BandInstance& into);
    void addAcross(int row);
    void addDown(int row);
    double lineHeight() const;
    void placeLine();
    void stretch(BandInstance& band, double height) const;
    void placeDown(bool balance);
    void rebalance();

    const Template& m_tmpl;
    BandEvaluator& m_values;
    PageFlow& m_pages;
    TextMeasurer& m_measurer;
    Columns m_columns;
    double m_step = 0; // from one column to the next

    std::vector<Cell> m_cells; // reused: only the first m_cellCount are waiting
    size_t m_cellCount = 0;
    PageTotals m_beforeLine;                // "across": the page totals before the waiting line
    double m_sectionTop = 0, m_columnY = 0; // "down": top of the columns, fill of the current column
    int m_column = 0;
};

} // namespace verolux::reports
