#pragma once

#include "agent/reports/cups/CupsJob.h"

#include <QString>

namespace verolux::reports {

class Report;

// What a print asks of the printer beyond the report itself; paper and orientation come from the
// template.
struct PrintOptions {
    int copies = 1;
    bool collate = true;
    cups::Sides sides = cups::Sides::OneSided;
    QString pageRanges;           // "1-3,5"; empty = every page
    bool reverse = false;         // last page first
    bool grayscale = false;       // grey on a colour printer
    std::string media = {};       // a paper the job asked for (PWG name), instead of the template's
    std::string mediaSource = {}; // an input tray keyword; empty: the printer's own
    // Moves every page's drawing on the paper (x right, y down): the printer's calibration.
    double offsetXMm = 0, offsetYMm = 0;
};

// Prints the report through CUPS on `printerName`, or the system default printer when it is empty
// (Report::effectivePrinterName() gives the name a report asks for): the engine's own PDF is streamed into a
// new job, with the template's paper as `media` and `orientation-requested`. Returns the CUPS job id, or 0
// with a reason in `error` when there is no such printer (never another one), the scheduler refuses the job,
// or writing fails (then the job is cancelled).
int PrintReportTo(Report& report, const QString& printerName, const PrintOptions& options, QString* error);
// The same with the failure's code (scheduler down, no such printer, no default, refused, failed).
int PrintReportTo(Report& report, const QString& printerName, const PrintOptions& options,
                  cups::PrintError* error);

} // namespace verolux::reports
