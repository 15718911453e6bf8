#pragma once

#include <QString>

namespace verolux::reports {

class Report;

// Prints every page of the report with QPrinter to `printerName` (the system default printer when
// empty). False with a reason in `error` when no printer can be opened or painting fails.
bool PrintReportTo(Report& report, const QString& printerName, QString* error);

} // namespace verolux::reports
