#include "agent/reports/layout/Paginator.h"

#include "agent/reports/layout/BandEvaluator.h"
#include "agent/reports/layout/ColumnFlow.h"
#include "agent/reports/layout/LayoutLimits.h"
#include "agent/reports/layout/PageFlow.h"
#include "agent/reports/model/TemplateNames.h"

#include <optional>

namespace verolux::reports {

namespace {

// The report in its order: report header, then per row the group footers that end and the group headers
// that begin before the detail band, at the end the last footers and the report footer.
class Paginator {
  public:
    Paginator(const Template& tmpl, const ReportData& data, TextMeasurer& measurer)
        : m_tmpl(tmpl), m_values(tmpl, data, measurer), m_pages(tmpl, m_values, measurer) {
        if (m_values.bands().detail.present() && tmpl.detail.columns.any())
            m_columns.emplace(tmpl, m_values, m_pages, measurer);
        for (const Group& g : tmpl.groups)
            m_footersKeepRow = m_footersKeepRow || (g.footer.present && g.footer.keepWithDetail);
    }

    LaidOutReport run() {
        const ReportBands& bands = m_values.bands();
        const int rows = m_values.rowCount(), groups = m_values.groupCount();
        m_pages.begin();
        for (int row = 0; row < rows; ++row) {
            const int level = row == 0 ? 0 : m_values.firstChange(row - 1, row);
            if (row > 0 && level < groups && m_columns) m_columns->flush(true); // a new line of labels
            if (row > 0)
                for (int l = groups - 1; l >= level; --l)
                    closeGroup(l, row - 1);
            for (int l = level; l < groups; ++l)
                openGroup(l, row);
            placeDetail(row);
        }
        if (m_columns) {
            // Columns are balanced only when a band follows on the page; otherwise a partly used label
            // sheet keeps whole columns free.
            bool follows = bands.reportFooter.present();
            for (const auto& footer : bands.groupFooters)
                follows = follows || footer.present();
            m_columns->flush(follows);
        }
        if (rows > 0)
            for (int l = groups - 1; l >= 0; --l)
                closeGroup(l, rows - 1);
        if (bands.reportFooter.present()) {
            m_pages.setNextRow(-1);
            const BandContext ctx{rows - 1, -1, BandKind::ReportFooter};
            if (bands.reportFooter.band->printAtBottom) {
                m_pages.placeAtBottom(bands.reportFooter, ctx);
                m_pages.addEvent("report footer at the bottom");
            } else {
                m_pages.placeBand(bands.reportFooter, ctx, 0, true);
                m_pages.addEvent("report footer");
            }
        }
        LaidOutReport out = m_pages.finish();
        out.warnings = m_values.warnings();
        return out;
    }

  private:
    void openGroup(int level, int row) {
        m_values.beginGroup(level, row);
        m_pages.setNextRow(row);
        if (m_tmpl.groups[size_t(level)].newPage && m_pages.bodyUsed() && row > 0) m_pages.breakPage();
        const ReportBands& bands = m_values.bands();
        const CompiledBand& header = bands.groupHeaders[size_t(level)];
        if (header.present()) {
            // Keep a header with the first row under it: the inner headers and one detail row.
            double keep = bands.detail.height();
            for (size_t l = size_t(level) + 1; l < bands.groupHeaders.size(); ++l)
                keep += bands.groupHeaders[l].height();
            m_pages.placeBand(header, BandContext{row, level, BandKind::GroupHeader}, keep, true);
            m_pages.addEvent("header " + m_values.groupLabel(level, row));
        }
        m_values.setOpenGroups(level + 1);
    }

    void closeGroup(int level, int lastRow) {
        const CompiledBand& footer = m_values.bands().groupFooters[size_t(level)];
        if (footer.present()) {
            m_pages.setNextRow(-1);
            m_pages.placeBand(footer, BandContext{lastRow, level, BandKind::GroupFooter}, 0, true);
            m_pages.addEvent("footer " + m_values.groupLabel(level, lastRow));
        }
        m_values.setOpenGroups(level);
    }

    void placeDetail(int row) {
        if (m_columns) {
            m_columns->add(row);
            return;
        }
        const CompiledBand& detail = m_values.bands().detail;
        m_pages.setNextRow(row);
        if (detail.present())
            m_pages.placeBand(detail, BandContext{row, detail.level, BandKind::Detail}, footersKept(row),
                              true, row);
        m_pages.countRow(row);
        m_pages.noteRows(row, row);
    }

    // The group footers that close after `row` and must not start a page without it: their height, with
    // the inner footers between (they print first).
    double footersKept(int row) const {
        if (!m_footersKeepRow) return 0;
        const int groups = m_values.groupCount();
        const int first = row + 1 < m_values.rowCount() ? m_values.firstChange(row, row + 1) : 0;
        const auto& footers = m_values.bands().groupFooters;
        double keep = 0, inner = 0;
        for (int l = groups - 1; l >= first; --l) {
            const CompiledBand& footer = footers[size_t(l)];
            inner += footer.height();
            if (footer.present() && footer.band->keepWithDetail) keep = inner;
        }
        return keep;
    }

    const Template& m_tmpl;
    BandEvaluator m_values;
    PageFlow m_pages;
    std::optional<ColumnFlow> m_columns;
    bool m_footersKeepRow = false; // some group footer has keepWithDetail
};

// The limits a template must keep to be laid out at all; "" if it does.
std::string TemplateOverLimits(const Template& tmpl) {
    size_t items = 0;
    for (const auto& b : kBandNames)
        items += (tmpl.*(b.value)).items.size();
    for (const Group& g : tmpl.groups)
        items += g.header.items.size() + g.footer.items.size();
    auto over = [](size_t limit, const char* what) {
        return "the template has more than " + std::to_string(limit) + " " + what;
    };
    if (items > kMaxTemplateItems) return over(kMaxTemplateItems, "items");
    if (tmpl.styles.size() > kMaxTemplateStyles) return over(kMaxTemplateStyles, "styles");
    if (tmpl.groups.size() > kMaxGroupLevels) return over(kMaxGroupLevels, "group levels");
    return "";
}

} // namespace

LaidOutReport Paginate(const Template& tmpl, const ReportData& data, TextMeasurer& measurer) {
    LaidOutReport failed;
    failed.pageWidth = tmpl.page.pageWidth();
    failed.pageHeight = tmpl.page.pageHeight();
    failed.error = TemplateOverLimits(tmpl);
    if (!failed.error.empty()) return failed;
    try {
        return Paginator(tmpl, data, measurer).run();
    } catch (const LayoutLimitReached& limit) {
        failed.error = limit.reason;
        return failed;
    }
}

std::string DescribePages(const LaidOutReport& report) {
    std::string out;
    for (size_t i = 0; i < report.pages.size(); ++i) {
        const PageInfo& info = report.pages[i].info;
        out += "page " + std::to_string(i + 1) + ":";
        if (info.firstRow >= 0)
            out += " rows " + std::to_string(info.firstRow + 1) + "-" + std::to_string(info.lastRow + 1);
        else
            out += " no rows";
        for (const auto& e : info.events)
            out += ", " + e;
        out += "\n";
    }
    return out;
}

} // namespace verolux::reports
