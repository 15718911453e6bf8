// The forms of the print service's calls that give a failure as its message alone, for callers that
// only show it; the same on every platform.
#include "agent/reports/cups/CupsError.h"
#include "agent/reports/cups/CupsJob.h"
#include "agent/reports/cups/CupsPrinters.h"
#include "agent/reports/cups/CupsRawJob.h"

namespace verolux::cups {

bool ResolvePrinter(const std::string& requested, std::string* name, std::string* error) {
    PrintError typed;
    return AsText(ResolvePrinter(requested, name, &typed), std::move(typed), error);
}

bool PdfJob::open(const std::string& printer, const std::string& title, const JobOptions& options,
                  std::string* error) {
    PrintError typed;
    return AsText(open(printer, title, options, &typed), std::move(typed), error);
}

bool SendRawJob(const std::string& printer, const std::string& title, std::string_view bytes, int* jobId,
                std::string* error) {
    PrintError typed;
    return AsText(SendRawJob(printer, title, bytes, jobId, &typed), std::move(typed), error);
}

bool SendDocumentJob(const std::string& printer, const std::string& title, const char* format,
                     std::string_view bytes, const std::vector<std::pair<std::string, std::string>>& options,
                     int* jobId, std::string* error) {
    PrintError typed;
    return AsText(SendDocumentJob(printer, title, format, bytes, options, jobId, &typed), std::move(typed),
                  error);
}

} // namespace verolux::cups
