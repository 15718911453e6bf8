#include "agent/reports/layout/ColumnFlow.h"

#include "agent/reports/layout/LayoutConstants.h"

#include <algorithm>
#include <cmath>

namespace verolux::reports {

ColumnFlow::ColumnFlow(const Template& tmpl, BandEvaluator& values, PageFlow& pages, TextMeasurer& measurer)
    : m_tmpl(tmpl), m_values(values), m_pages(pages), m_measurer(measurer), m_columns(tmpl.detail.columns),
      m_step(ColumnWidth(tmpl.detail.columns, tmpl.page) + tmpl.detail.columns.spacing) {}

void ColumnFlow::add(int row) {
    if (m_columns.down)
        addDown(row);
    else
        addAcross(row);
}

void ColumnFlow::flush(bool balance) {
    if (m_columns.down)
        placeDown(balance);
    else
        placeLine();
}

ColumnFlow::Cell& ColumnFlow::newCell(int row) {
    if (m_cellCount == m_cells.size()) m_cells.emplace_back();
    Cell& c = m_cells[m_cellCount++];
    c.row = row;
    c.column = 0;
    c.y = 0;
    return c;
}

void ColumnFlow::evaluate(int row, BandInstance& into) {
    const CompiledBand& detail = m_values.bands().detail;
    m_pages.setNextRow(row);
    m_values.evaluate(detail, BandContext{row, detail.level, BandKind::Detail}, m_pages.pageNumber(), into);
}

void ColumnFlow::addAcross(int row) {
    if (m_cellCount == 0) m_beforeLine = m_values.pageTotals(); // should the line move to a new page
    Cell& c = newCell(row);
    c.column = static_cast<int>(m_cellCount - 1);
    evaluate(row, c.band);
    m_pages.countRow(row);
    if (m_cellCount == size_t(m_columns.count)) placeLine();
}

double ColumnFlow::lineHeight() const {
    double h = 0;
    for (size_t i = 0; i < m_cellCount; ++i)
        h = std::max(h, m_cells[i].band.height);
    return h;
}

// Places the waiting cells side by side as one line: the line never splits across pages unless it is
// taller than an empty page.
void ColumnFlow::placeLine() {
    if (m_cellCount == 0) return;
    double h = lineHeight();
    if (m_pages.y() + h > m_pages.bodyBottom() + kLayoutEpsilon && m_pages.bodyUsed()) {
        m_values.setPageTotals(m_beforeLine); // the line's rows count on the page they are printed on
        m_pages.setNextRow(m_cells[0].row);
        m_pages.breakPage();
        for (size_t i = 0; i < m_cellCount; ++i) { // page numbers and page totals changed
            evaluate(m_cells[i].row, m_cells[i].band);
            m_pages.countRow(m_cells[i].row);
        }
        h = lineHeight();
    }
    const int first = m_cells[0].row, last = m_cells[m_cellCount - 1].row;
    bool whole = true;
    while (m_pages.y() + h > m_pages.bodyBottom() + kLayoutEpsilon) {
        const double room = m_pages.bodyBottom() - m_pages.y();
        if (room < 1) break; // the fixed bands fill the page: overflow rather than loop
        bool cut = false;
        for (size_t i = 0; i < m_cellCount; ++i)
            cut = cut || SplitRestHeight(m_cells[i].band, room) < m_cells[i].band.height - kLayoutEpsilon;
        if (!cut) break; // nothing can be cut (pictures taller than a page)
        for (size_t i = 0; i < m_cellCount; ++i) {
            BandSplit parts = SplitBand(std::move(m_cells[i].band), room, m_tmpl, m_measurer);
            m_pages.put(parts.head, m_pages.y(), m_cells[i].column * m_step);
            m_cells[i].band = std::move(parts.rest);
        }
        m_pages.noteRows(first, last);
        m_pages.useBody();
        m_pages.breakPage();
        m_pages.addEvent(first == last ? "row " + std::to_string(first + 1) + " continues"
                                       : "rows " + std::to_string(first + 1) + "-" +
                                             std::to_string(last + 1) + " continue");
        whole = false;
        h = lineHeight();
    }
    for (size_t i = 0; i < m_cellCount; ++i) {
        if (whole) stretch(m_cells[i].band, h);
        m_pages.put(m_cells[i].band, m_pages.y(), m_cells[i].column * m_step);
    }
    m_pages.noteRows(first, last);
    m_pages.setY(m_pages.y() + h);
    m_pages.useBody();
    m_cellCount = 0;
}

// Cells that reach the bottom of the detail band grow to the line's height, so the labels of a line
// stay the same size.
void ColumnFlow::stretch(BandInstance& band, double height) const {
    if (height <= band.height + kLayoutEpsilon) return;
    const Band& detail = m_tmpl.detail;
    for (size_t i = 0; i < detail.items.size() && i < band.items.size(); ++i) {
        const Item& it = detail.items[i];
        PageItem& pi = band.items[i];
        if ((it.kind == ItemKind::Text || it.kind == ItemKind::Rect) &&
            std::abs(double(pi.y + pi.h) - band.height) < kLayoutEpsilon)
            pi.h = float(height - pi.y);
    }
    band.height = height;
}

void ColumnFlow::addDown(int row) {
    Cell& c = newCell(row);
    evaluate(row, c.band);
    if (m_cellCount == 1) {
        m_sectionTop = m_pages.y();
        m_column = 0;
        m_columnY = 0;
    }
    double h = c.band.height;
    const double bottom = m_pages.bodyBottom() + kLayoutEpsilon;
    if (m_sectionTop + m_columnY + h > bottom && m_columnY > 0) {
        ++m_column;
        m_columnY = 0;
    }
    const bool tooTall = m_sectionTop + h > bottom;
    if (m_column == m_columns.count || (tooTall && (m_cellCount > 1 || m_pages.bodyUsed()))) {
        --m_cellCount; // this row goes to the next page
        placeDown(false);
        m_pages.breakPage();
        Cell& again = newCell(row);
        evaluate(row, again.band);
        m_sectionTop = m_pages.y();
        m_column = 0;
        m_columnY = 0;
        h = again.band.height;
    }
    Cell& placed = m_cells[m_cellCount - 1];
    m_pages.countRow(row);
    if (m_sectionTop + h > bottom) { // taller than an empty page: cut like a line
        placed.column = 0;
        placeLine();
        return;
    }
    placed.column = m_column;
    placed.y = m_columnY;
    m_columnY += h;
}

void ColumnFlow::placeDown(bool balance) {
    if (m_cellCount == 0) return;
    if (balance) rebalance();
    double deepest = 0;
    for (size_t i = 0; i < m_cellCount; ++i) {
        const Cell& c = m_cells[i];
        deepest = std::max(deepest, c.y + c.band.height);
        m_pages.put(c.band, m_sectionTop + c.y, c.column * m_step);
    }
    m_pages.noteRows(m_cells[0].row, m_cells[m_cellCount - 1].row);
    m_pages.setY(m_sectionTop + deepest);
    m_pages.useBody();
    m_cellCount = 0;
}

// The fewest rows per column that still fit the room below the section top; the columns as filled
// stay if no even share fits (very uneven heights).
void ColumnFlow::rebalance() {
    const size_t n = m_cellCount, cols = size_t(m_columns.count);
    const double room = m_pages.bodyBottom() - m_sectionTop;
    for (size_t k = (n + cols - 1) / cols; k < n; ++k) {
        bool fits = true;
        for (size_t start = 0; start < n && fits; start += k) {
            double h = 0;
            for (size_t i = start; i < std::min(n, start + k); ++i)
                h += m_cells[i].band.height;
            fits = h <= room + kLayoutEpsilon;
        }
        if (!fits) continue;
        double y = 0;
        for (size_t i = 0; i < n; ++i) {
            if (i % k == 0) y = 0;
            m_cells[i].column = static_cast<int>(i / k);
            m_cells[i].y = y;
            y += m_cells[i].band.height;
        }
        return;
    }
}

} // namespace verolux::reports
