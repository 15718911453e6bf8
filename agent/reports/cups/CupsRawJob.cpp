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

bool Fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

} // namespace

bool SendRawJob(const std::string& printer, const std::string& title, std::string_view bytes, int* jobId,
                std::string* error) {
    *jobId = 0;
    // cupsGetNamedDest, not the default printer's fallback: a raw job is written for one printer's language.
    const std::unique_ptr<cups_dest_t, DestFree> dest{
        cupsGetNamedDest(CUPS_HTTP_DEFAULT, printer.c_str(), nullptr)};
    if (!dest)
        return Fail(error,
                    SchedulerAnswers() ? "printer \"" + printer + "\" does not exist" : kSchedulerDown);
    const int id = cupsCreateJob(CUPS_HTTP_DEFAULT, dest->name, title.c_str(), 0, nullptr);
    if (id <= 0) return Fail(error, "printer \"" + printer + "\" refused the job: " + LastError());
    const auto abandon = [&](const std::string& why) {
        const std::string reason = why + LastError();
        std::string ignored;
        CancelJob(id, &ignored);
        return Fail(error, reason);
    };
    if (cupsStartDocument(CUPS_HTTP_DEFAULT, dest->name, id, title.c_str(), CUPS_FORMAT_RAW, 1) !=
        HTTP_STATUS_CONTINUE)
        return abandon("printer \"" + printer + "\": cannot send the job: ");
    if (!bytes.empty() &&
        cupsWriteRequestData(CUPS_HTTP_DEFAULT, bytes.data(), bytes.size()) != HTTP_STATUS_CONTINUE)
        return abandon("printer \"" + printer + "\": sending the job failed: ");
    if (cupsFinishDocument(CUPS_HTTP_DEFAULT, dest->name) > IPP_STATUS_OK_CONFLICTING)
        return abandon("printer \"" + printer + "\" did not take the job: ");
    *jobId = id;
    return true;
}

} // namespace verolux::cups
