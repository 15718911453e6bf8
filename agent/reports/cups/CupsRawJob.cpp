#include "agent/reports/cups/CupsRawJob.h"

#include "agent/reports/cups/CupsError.h"
#include "agent/reports/cups/CupsJob.h"

#include <cups/cups.h>

#include <memory>

namespace verolux::cups {
namespace {

struct DestFree {
    void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};

} // namespace

bool SendRawJob(const std::string& printer, const std::string& title, std::string_view bytes, int* jobId,
                PrintError* error) {
    return SendDocumentJob(printer, title, CUPS_FORMAT_RAW, bytes, {}, jobId, error);
}

bool TakesPdfDocuments() {
    return true;
}

bool SendDocumentJob(const std::string& printer, const std::string& title, const char* format,
                     std::string_view bytes, const std::vector<std::pair<std::string, std::string>>& options,
                     int* jobId, PrintError* error) {
    *jobId = 0;
    // cupsGetNamedDest, not the default printer's fallback: a raw job is written for one printer's language.
    const std::unique_ptr<cups_dest_t, DestFree> dest{
        cupsGetNamedDest(CUPS_HTTP_DEFAULT, printer.c_str(), nullptr)};
    if (!dest)
        return SchedulerAnswers() ? FailWith(error, PrintFailure::NoSuchPrinter,
                                             "printer \"" + printer + "\" does not exist")
                                  : FailWith(error, PrintFailure::SchedulerDown, kSchedulerDown);
    cups_option_t* list = nullptr;
    int count = 0;
    for (const auto& [name, value] : options)
        count = cupsAddOption(name.c_str(), value.c_str(), count, &list);
    const int id = cupsCreateJob(CUPS_HTTP_DEFAULT, dest->name, title.c_str(), count, list);
    cupsFreeOptions(count, list);
    if (id <= 0)
        return FailWith(error, PrintFailure::Refused,
                        "printer \"" + printer + "\" refused the job: " + LastError());
    const auto abandon = [&](PrintFailure code, const std::string& why) {
        const std::string reason = why + LastError();
        std::string ignored;
        CancelJob(id, &ignored);
        return FailWith(error, code, reason);
    };
    if (cupsStartDocument(CUPS_HTTP_DEFAULT, dest->name, id, title.c_str(), format, 1) !=
        HTTP_STATUS_CONTINUE)
        return abandon(PrintFailure::Failed, "printer \"" + printer + "\": cannot send the job: ");
    if (!bytes.empty() &&
        cupsWriteRequestData(CUPS_HTTP_DEFAULT, bytes.data(), bytes.size()) != HTTP_STATUS_CONTINUE)
        return abandon(PrintFailure::Failed, "printer \"" + printer + "\": sending the job failed: ");
    if (cupsFinishDocument(CUPS_HTTP_DEFAULT, dest->name) > IPP_STATUS_OK_CONFLICTING)
        return abandon(PrintFailure::Refused, "printer \"" + printer + "\" did not take the job: ");
    *jobId = id;
    return true;
}

} // namespace verolux::cups
