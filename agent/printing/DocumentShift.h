#pragma once

#include "agent/printing/PageMessage.h"
#include "agent/printing/PageRuns.h"
#include "agent/printing/PrinterOffset.h"

namespace verolux {

// How far a document page's drawing moves on its own page (x right, y down, mm).
struct PageShift {
    double xMm = 0, yMm = 0;
    friend bool operator==(const PageShift&, const PageShift&) = default;
};

// The shift on the page that moves the drawing by the printer's offset on the sheet. CUPS turns a
// page whose orientation differs from the sheet's a quarter turn (the page's right goes up the
// sheet) and scales it at fit and fill, and at the printer's choice when it is larger than the
// sheet: the offset is turned back and divided by that scale. A sheet of 0 × 0 is not known: the page
// is taken to print as it is.
PageShift ShiftOnPage(const PrinterOffset& offset, PagePoints page, double sheetWidthMm, double sheetHeightMm,
                      Fit fit);

} // namespace verolux
