#include "agent/reports/engine/Printing.h"

namespace verolux::reports {

// The message alone, for callers that show it.
int PrintReportTo(Report& report, const QString& printerName, const PrintOptions& options, QString* error) {
    cups::PrintError typed;
    const int jobId = PrintReportTo(report, printerName, options, &typed);
    if (jobId == 0 && error) *error = QString::fromStdString(typed.message);
    return jobId;
}

} // namespace verolux::reports
