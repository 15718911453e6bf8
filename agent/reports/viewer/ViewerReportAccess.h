#pragma once

#include "agent/reports/viewer/ViewerGeometry.h"

#include <QString>

#include <vector>

class QObject;
class QPainter;
class QPrinter;

namespace verolux::reports {

class Report;

// The few things the viewer needs of a report, in one place.

QObject* ReportAsObject(Report* report);
QString ReportTitleOf(Report& report);
// Lays the report out if needed; one entry per page.
std::vector<PageSizeMm> ReportPageSizes(Report& report);
// The painter's unit is one millimetre, origin at the page's top-left corner.
void PaintReportPage(Report& report, int index, QPainter& painter);
// Printer, paper, orientation and document name of the report, for the print dialog to start from.
void PreparePrinterFor(Report& report, QPrinter& printer);
// Prints what the print dialog chose (printer, copies, collation, order, colour, duplex, page range) through
// the report's own print path; "print to file" exports the PDF to the chosen file instead.
bool PrintReportOn(Report& report, const QPrinter& printer, QString* error);
bool ExportReportPdf(Report& report, const QString& path, QString* error);

} // namespace verolux::reports
