#pragma once

#include "agent/printing/PrinterOffset.h"

#include <string>

namespace verolux {

// A one-page PDF of the given paper for calibrating a printer: a frame 5 mm inside the edges, marks
// 10 mm from the left and top edges with millimetre ticks, and the offset written on it; the whole
// drawing moved by the offset as a report's would be. The user measures where the marks came out.
std::string CalibrationPdf(double widthMm, double heightMm, const PrinterOffset& offset);
// Fine enough for a tenth of a millimetre.
inline constexpr int kCalibrationDpi = 300;
// The same page as a PNG picture of the paper's size at `dpi`, for a print service that takes no PDF
// (the Windows spooler's path): printed filling the sheet, it lands where the PDF would.
std::string CalibrationPng(double widthMm, double heightMm, const PrinterOffset& offset, int dpi);

} // namespace verolux
