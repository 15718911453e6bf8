#include "agent/reports/layout/PageFlow.h"

#include "agent/reports/layout/LayoutConstants.h"
#include "agent/reports/layout/LayoutLimits.h"

namespace verolux::reports {

PageFlow::PageFlow(const Template& tmpl, BandEvaluator& values, TextMeasurer& measurer)
    : m_tmpl(tmpl), m_values(values), m_measurer(measurer) {
    const PageSetup& p = tmpl.page;
    m_out.pageWidth = p.pageWidth();
    m_out.pageHeight = p.pageHeight();
    m_bodyTop = p.marginTop;
    m_bodyBottom = p.pageHeight() - p.marginBottom - values.bands().pageFooter.height();
    m_nextRow = values.rowCount() > 0 ? 0 : -1;
}

void PageFlow::begin() {
    startPage(true);
}

LaidOutReport PageFlow::finish() {
    finishPage();
    fillPageCount();
    return std::move(m_out);
}

void PageFlow::startPage(bool first) {
    m_page = Page{};
    m_counts.clear();
    m_y = m_bodyTop;
    m_bodyUsed = false;
    m_values.resetPageTotals();
    const ReportBands& bands = m_values.bands();
    const int row = m_nextRow >= 0 ? m_nextRow : m_lastRow;
    if (bands.pageHeader.present()) placeFixed(bands.pageHeader, BandContext{row, -1, BandKind::PageHeader});
    if (first && bands.reportHeader.present()) {
        addEvent("report header");
        const int firstRow = m_values.rowCount() > 0 ? 0 : -1;
        const int page = pageNumber();
        placeBand(bands.reportHeader, BandContext{firstRow, -1, BandKind::ReportHeader}, 0, false);
        if (pageNumber() != page) return; // taller than the page: the page it ends on is opened already
    }
    if (bands.columnHeader.present()) {
        placeFixed(bands.columnHeader, BandContext{row, -1, BandKind::ColumnHeader});
        m_page.info.columnHeader = true;
        if (!first) addEvent("column header repeated");
    }
    if (first) return;
    for (int level = 0; level < m_values.openGroups(); ++level) {
        const CompiledBand& header = bands.groupHeaders[size_t(level)];
        const int start = m_values.groupStart(level);
        const bool repeat = m_tmpl.groups[size_t(level)].repeatHeader && header.present();
        if (repeat) placeFixed(header, BandContext{start, level, BandKind::GroupHeader});
        addEvent("group " + m_values.groupLabel(level, start) + " continues" +
                 (repeat ? " (header repeated)" : ""));
    }
}

void PageFlow::finishPage() {
    if (m_out.pages.size() == kMaxReportPages)
        throw LayoutLimitReached{"the report has more than " + std::to_string(kMaxReportPages) + " pages"};
    const CompiledBand& footer = m_values.bands().pageFooter;
    if (footer.present()) {
        const int row = m_page.info.lastRow >= 0 ? m_page.info.lastRow : m_lastRow;
        m_values.evaluate(footer, BandContext{row, -1, BandKind::PageFooter}, pageNumber(), m_band);
        // The footer keeps its place and size: rows never reach it and it never pushes anything.
        put(m_band, m_bodyBottom);
    }
    m_out.pages.push_back(std::move(m_page));
    m_pageCounts.push_back(std::move(m_counts));
    m_page = Page{};
    m_counts.clear();
}

void PageFlow::breakPage() {
    finishPage();
    startPage(false);
}

void PageFlow::noteRows(int first, int last) {
    if (m_page.info.firstRow < 0) m_page.info.firstRow = first;
    m_page.info.lastRow = last;
}

void PageFlow::countRow(int row) {
    m_values.countOnPage(row);
    m_lastRow = row;
}

// Page header, column header and repeated group headers: no break checks, they open the page.
void PageFlow::placeFixed(const CompiledBand& band, const BandContext& ctx) {
    m_values.evaluate(band, ctx, pageNumber(), m_band);
    put(m_band, m_y);
    m_y += m_band.height;
}

void PageFlow::placeBand(const CompiledBand& band, const BandContext& ctx, double keep, bool body, int row) {
    m_values.evaluate(band, ctx, pageNumber(), m_band);
    // A band kept together also leaves a page that holds only headers, if a new page has room for it.
    bool moveOn = m_bodyUsed;
    if (!moveOn && band.band->keepTogether && m_y > m_bodyTop + kLayoutEpsilon) {
        const ReportBands& bands = m_values.bands();
        const double freshTop = m_bodyTop + bands.pageHeader.height() + bands.columnHeader.height();
        moveOn = m_y > freshTop + kLayoutEpsilon && m_band.height <= m_bodyBottom - freshTop + kLayoutEpsilon;
    }
    if (m_y + m_band.height + keep > m_bodyBottom + kLayoutEpsilon && moveOn) {
        breakPage();
        m_values.evaluate(band, ctx, pageNumber(), m_band); // page numbers and page totals change
    }
    while (m_y + m_band.height > m_bodyBottom + kLayoutEpsilon) {
        const double room = m_bodyBottom - m_y;
        if (room < 1) {             // not even a line fits: nothing more to gain on this page
            if (!m_bodyUsed) break; // the fixed bands fill the page: overflow rather than loop
            breakPage();
            continue;
        }
        const bool cuttable = SplitRestHeight(m_band, room) < m_band.height - kLayoutEpsilon;
        BandSplit parts = SplitBand(std::move(m_band), room, m_tmpl, m_measurer);
        if (!cuttable) { // nothing can be cut (a picture taller than a page): the rest goes here
            m_band = std::move(parts.rest);
            break;
        }
        put(parts.head, m_y);
        m_y += room;
        m_bodyUsed = true;
        if (row >= 0) noteRows(row, row);
        breakPage();
        if (row >= 0) addEvent("row " + std::to_string(row + 1) + " continues");
        m_band = std::move(parts.rest);
    }
    put(m_band, m_y);
    m_y += m_band.height;
    if (body || m_y > m_bodyBottom + kLayoutEpsilon) m_bodyUsed = true; // an overfull page takes nothing more
}

void PageFlow::placeAtBottom(const CompiledBand& band, const BandContext& ctx) {
    m_values.evaluate(band, ctx, pageNumber(), m_band);
    if (m_y + m_band.height > m_bodyBottom + kLayoutEpsilon && m_bodyUsed) breakPage();
    m_values.evaluate(band, ctx, pageNumber(), m_band);
    if (m_band.height <= m_bodyBottom - m_y + kLayoutEpsilon) m_y = m_bodyBottom - m_band.height;
    placeBand(band, ctx, 0, true);
}

void PageFlow::put(const BandInstance& band, double y, double x) {
    const auto firstItem = static_cast<uint32_t>(m_page.items.size());
    for (PageItem it : band.items) {
        const std::string_view text = band.textOf(it);
        it.y += float(y);
        it.x += float(x);
        it.textOffset = static_cast<uint32_t>(m_page.text.size());
        m_page.text.append(text);
        m_page.items.push_back(it);
        m_textBytes += text.size();
    }
    for (const PageCountMark& mark : band.pageCounts)
        m_counts.push_back(PageCountMark{firstItem + mark.item, mark.offset});
    m_items += band.items.size();
    if (m_items > kMaxReportItems)
        throw LayoutLimitReached{"the report places more than " + std::to_string(kMaxReportItems) + " items"};
    if (m_textBytes > kMaxReportTextBytes)
        throw LayoutLimitReached{"the report places more than " + std::to_string(kMaxReportTextBytes >> 20) +
                                 " MB of text"};
}

// Pass two: the texts that show the page count get it now that the last page is known.
void PageFlow::fillPageCount() {
    const std::string count = std::to_string(m_out.pages.size());
    for (size_t p = 0; p < m_out.pages.size(); ++p) {
        Page& page = m_out.pages[p];
        const auto& marks = m_pageCounts[p];
        for (size_t m = 0; m < marks.size();) {
            PageItem& it = page.items[marks[m].item];
            const std::string old(page.textOf(it));
            std::string text;
            size_t from = 0;
            for (; m < marks.size() && &page.items[marks[m].item] == &it; ++m) {
                text.append(old, from, marks[m].offset - from);
                text += count;
                from = marks[m].offset;
            }
            text.append(old, from);
            it.textOffset = static_cast<uint32_t>(page.text.size());
            it.textLength = static_cast<uint32_t>(text.size());
            page.text += text;
        }
    }
}

} // namespace verolux::reports
