#pragma once

#include "agent/reports/layout/PageLayout.h"
#include "agent/reports/layout/ReportData.h"
#include "agent/reports/layout/TextMeasurer.h"
#include "agent/reports/model/Template.h"

namespace verolux::reports {

// Lays out a filled template: bands in report order, page breaks, repeated headers, group headers and
// footers, detail rows side by side when the detail band has columns, aggregates, wrapped text; then a
// second pass fills in the page count. O(rows).
// The returned pages point at items of `tmpl`, which must outlive them. A template or report beyond a
// limit of LayoutLimits.h gives no pages and the reason in `error`.
LaidOutReport Paginate(const Template& tmpl, const ReportData& data, TextMeasurer& measurer);

} // namespace verolux::reports
