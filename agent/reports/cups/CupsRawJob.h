#pragma once

#include "agent/reports/cups/CupsJob.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Raw jobs: bytes the printer understands itself (ZPL, ESC/POS, ...) handed to a queue as
// application/vnd.cups-raw, which CUPS passes to the device without filtering. No Qt.
namespace verolux::cups {

// Sends the bytes as one job to that queue (which must exist; never another one). Sets jobId to the
// scheduler's id; false with a reason when the queue is missing or refuses, or the scheduler is down.
// A job that could not be sent whole is cancelled.
bool SendRawJob(const std::string& printer, const std::string& title, std::string_view bytes, int* jobId,
                std::string* error);
bool SendRawJob(const std::string& printer, const std::string& title, std::string_view bytes, int* jobId,
                PrintError* error);

// A document CUPS converts itself (application/pdf, image/png, image/jpeg), sent the same way with
// its options: a PDF whose pages differ in size prints each page at its own size.
bool SendDocumentJob(const std::string& printer, const std::string& title, const char* format,
                     std::string_view bytes, const std::vector<std::pair<std::string, std::string>>& options,
                     int* jobId, std::string* error);
bool SendDocumentJob(const std::string& printer, const std::string& title, const char* format,
                     std::string_view bytes, const std::vector<std::pair<std::string, std::string>>& options,
                     int* jobId, PrintError* error);

// Whether the print service takes PDF documents (CUPS does; the Windows spooler takes pictures only).
bool TakesPdfDocuments();

enum class Scaling { Printer, None, Fit, Fill };

// The printer's calibration among a document's options, "x,y" in millimetres: no CUPS option, read by
// the print service that draws pictures itself (the Windows spooler's); sent only when not zero.
inline constexpr const char* kOffsetOption = "verolux-offset-mm";

// The options of a document job: copies, sides, page ranges, media and media-source when asked, and
// `print-scaling` (none: actual size; fit: into the printable area; fill: the whole sheet, cropped),
// and the offset when it is not zero (kOffsetOption).
std::vector<std::pair<std::string, std::string>> DocumentOptionList(const JobOptions& options,
                                                                    Scaling scaling, bool sidesAsked);

} // namespace verolux::cups
