#pragma once

#include <QString>

class QIODevice;

namespace verolux::reports {

class Report;

// Writes all pages as one PDF (fonts embedded as subsets) to `out`, front to back without seeking, so
// it can stream into a print job. False with a reason when writing fails.
bool WritePdf(Report& report, QIODevice& out, QString* error);

// The same into a file, which appears complete or not at all: it is written beside the target and
// renamed over it at the end.
bool WritePdf(Report& report, const QString& path, QString* error);

} // namespace verolux::reports
