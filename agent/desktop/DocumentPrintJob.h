#pragma once

#include "agent/printing/JobTracker.h"
#include "agent/printing/PageMessage.h"
#include "agent/printing/PrinterOffset.h"

#include <atomic>
#include <functional>
#include <string_view>

namespace verolux {

namespace failure {
// A document's URL gave no document (unreachable, not 2xx, too large, too slow).
inline constexpr const char* kDocumentNotFound = "document-not-found";
} // namespace failure

// Prints a document whose bytes are at hand: "spooled" with the scheduler's job id, or "failed"
// (bad-request for what is no PDF, PNG or JPEG or a tray or paper the printer lacks; printer-not-found,
// no-default-printer, print-failed as for a report). The document goes to CUPS as it is, unless the
// queue has an offset (`offsetOf` the queue's name): then a picture goes as a PDF page of its own
// with the picture moved, and a PDF's pages are redrawn moved (where the build has Qt PDF; else it
// goes as it is and `log` says so once). Set, `abort` stops a redraw between pages: the job fails.
// Runs on any thread when its callbacks may.
void PrintDocument(const DocumentPrint& document, const std::string& bytes, const std::string& jobId,
                   const std::function<void(const JobStep&)>& report,
                   const std::function<PrinterOffset(const std::string& queue)>& offsetOf = {},
                   const std::function<void(std::string_view)>& log = {},
                   const std::atomic<bool>* abort = nullptr);

} // namespace verolux
