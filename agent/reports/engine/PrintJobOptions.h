#pragma once

#include "agent/reports/cups/CupsJob.h"
#include "agent/reports/engine/Printing.h"

namespace verolux::reports {

class Report;

// What a print of the report asks of the print service: the template's paper as it is fed (a label's
// as it draws), its orientation, and the print's options.
cups::JobOptions JobOptionsFor(const Report& report, const PrintOptions& options);

} // namespace verolux::reports
