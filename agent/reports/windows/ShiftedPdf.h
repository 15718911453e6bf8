#pragma once

#include <QPointF>
#include <QSizeF>

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

class QIODevice;

namespace verolux {

// True when this build can redraw PDFs (Qt PDF was there to build with).
bool ShiftedPdfSupported();

struct PdfShift {
    int dpi = 300;                                     // the pages' pictures, at most 600
    std::function<bool(int page)> drawn;               // 0-based; pages not drawn stay blank
    std::function<QPointF(QSizeF pagePoints)> shiftMm; // how far a page's drawing moves (right, down)
    const std::atomic<bool>* abort = nullptr;          // set: stops between pages (false, "cancelled")
};

// Writes the PDF `pdf` again through the engine's PDF writer, each drawn page a picture of itself at
// `dpi` moved by its shift on a page of its own size; pages not drawn are blank pages of their size,
// so page numbers stay. One page's picture at a time. False with the reason when the PDF cannot be
// read or `out` written.
bool WriteShiftedPdf(std::string_view pdf, const PdfShift& shift, QIODevice& out, std::string* error);

} // namespace verolux
