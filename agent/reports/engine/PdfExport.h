#pragma once

#include <QPointF>
#include <QString>

class QIODevice;

namespace verolux::reports {

class Report;

// Writes all pages as one PDF (fonts embedded as subsets) to `out`, front to back without seeking, so
// it can stream into a print job. False with a reason when writing fails. `offsetMm` moves the drawing
// on every page (x right, y down), for a printer that is off.
bool WritePdf(Report& report, QIODevice& out, QString* error, QPointF offsetMm = {});

// The same into a file, which appears complete or not at all: it is written beside the target and
// renamed over it at the end.
bool WritePdf(Report& report, const QString& path, QString* error);

} // namespace verolux::reports
