#include "agent/desktop/RawPrintJob.h"

#include "agent/reports/cups/CupsError.h"
#include "agent/reports/cups/CupsPrinters.h"
#include "agent/reports/cups/CupsRawJob.h"

namespace verolux {

void PrintRaw(const RawPrint& raw, const std::string& jobId,
              const std::function<void(const JobStep&)>& report) {
    report(JobStep::Kind::Accepted);
    JobStep failed(JobStep::Kind::Failed);
    std::string queue;
    if (!cups::ResolvePrinter(raw.printer, &queue, &failed.message)) {
        failed.code =
            failed.message == cups::kSchedulerDown ? failure::kPrintFailed : failure::kPrinterNotFound;
        report(failed);
        return;
    }
    JobStep spooled(JobStep::Kind::Spooled);
    if (!cups::SendRawJob(queue, jobId.empty() ? "raw job" : "raw job " + jobId, raw.bytes,
                          &spooled.cupsJobId, &failed.message)) {
        failed.code = failure::kPrintFailed;
        report(failed);
        return;
    }
    report(spooled);
}

} // namespace verolux
