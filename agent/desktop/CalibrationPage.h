#pragma once

#include "agent/printing/PrinterOffset.h"

#include <string>

namespace verolux {

// A one-page PDF of the given paper for calibrating a printer: a frame 5 mm inside the edges, marks
// 10 mm from the left and top edges with millimetre ticks, and the offset written on it; the whole
// drawing moved by the offset as a report's would be. The user measures where the marks came out.
std::string CalibrationPdf(double widthMm, double heightMm, const PrinterOffset& offset);

} // namespace verolux
