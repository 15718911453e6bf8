#pragma once

#include <QString>

namespace verolux::reports {

class Report;

// Writes all pages to a PDF file (fonts embedded as subsets). The file appears complete or not at
// all: it is written beside the target and renamed over it at the end.
bool WritePdf(Report& report, const QString& path, QString* error);

} // namespace verolux::reports
