#include "agent/reports/engine/PrintJobOptions.h"

#include "agent/reports/engine/Report.h"

#include <algorithm>

namespace verolux::reports {

// A standard paper as it is fed: portrait, whatever the template's orientation.
cups::JobOptions JobOptionsFor(const Report& report, const PrintOptions& options) {
    const PageSetup& page = report.reportTemplate().page;
    cups::JobOptions o;
    if (page.paper == "Custom") {
        // A label is the paper as the template draws it, width across: never turned or scaled onto
        // another sheet.
        o.paperWidthMm = page.pageWidth();
        o.paperHeightMm = page.pageHeight();
    } else {
        o.paperWidthMm = std::min(page.width, page.height);
        o.paperHeightMm = std::max(page.width, page.height);
        o.landscape = report.landscape();
    }
    o.copies = options.copies;
    o.collate = options.collate;
    o.sides = options.sides;
    o.pageRanges = options.pageRanges.toStdString();
    o.reverse = options.reverse;
    o.monochrome = options.grayscale;
    o.media = options.media;
    o.mediaSource = options.mediaSource;
    o.offsetXMm = options.offsetXMm;
    o.offsetYMm = options.offsetYMm;
    return o;
}

} // namespace verolux::reports
