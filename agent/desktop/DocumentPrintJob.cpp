#include "agent/desktop/DocumentPrintJob.h"

#include "agent/printing/DocumentJob.h"
#include "agent/reports/cups/CupsError.h"
#include "agent/reports/cups/CupsPrinters.h"
#include "agent/reports/cups/CupsRawJob.h"
#include "agent/reports/cups/MediaChoice.h"

namespace verolux {

void PrintDocument(const DocumentPrint& d, const std::string& bytes, const std::string& jobId,
                   const std::function<void(const JobStep&)>& report) {
    JobStep failed(JobStep::Kind::Failed);
    const auto fail = [&](const char* code, std::string message) {
        failed.code = code;
        failed.message = std::move(message);
        report(failed);
    };
    const DocumentFormat format = SniffDocument(bytes);
    if (format == DocumentFormat::Unknown)
        return fail(failure::kBadRequest, "the document is no PDF, PNG or JPEG");
    if (!d.type.empty() && d.type != MimeType(format))
        return fail(failure::kBadRequest,
                    "the document is " + std::string(MimeType(format)) + ", not " + d.type);
    std::string queue, error;
    if (!cups::ResolvePrinter(d.printer, &queue, &error))
        return fail(error == cups::kSchedulerDown ? failure::kPrintFailed
                    : d.printer.empty()           ? failure::kNoDefaultPrinter
                                                  : failure::kPrinterNotFound,
                    error);
    cups::JobOptions o;
    o.copies = d.options.copies;
    if (d.options.duplex == Duplex::Long) o.sides = cups::Sides::TwoSidedLongEdge;
    if (d.options.duplex == Duplex::Short) o.sides = cups::Sides::TwoSidedShortEdge;
    if (format == DocumentFormat::Pdf) o.pageRanges = d.options.pages; // a picture is one page
    if (!d.options.tray.empty() || !d.options.paper.empty()) {
        // Checked before anything is sent: a wrong tray prints nothing.
        cups::PrinterInfo info;
        if (!cups::QueryPrinter(queue, &info, &error)) return fail(failure::kPrintFailed, error);
        cups::AddDisplayNames(info);
        const cups::MediaDecision media = cups::DecideMedia(
            info, {d.options.tray, d.options.paper.name, d.options.paper.widthMm, d.options.paper.heightMm});
        if (!media.error.empty()) return fail(failure::kBadRequest, media.error);
        o.media = media.media;
        o.mediaSource = media.mediaSource;
    }
    const cups::Scaling scaling = d.fit == Fit::Actual ? cups::Scaling::None
                                  : d.fit == Fit::Fit  ? cups::Scaling::Fit
                                  : d.fit == Fit::Fill ? cups::Scaling::Fill
                                                       : cups::Scaling::Printer;
    JobStep spooled(JobStep::Kind::Spooled);
    if (!cups::SendDocumentJob(queue, jobId.empty() ? "document" : "document " + jobId, MimeType(format),
                               bytes, cups::DocumentOptionList(o, scaling, d.options.duplex.has_value()),
                               &spooled.cupsJobId, &error))
        return fail(failure::kPrintFailed, error);
    report(spooled);
}

} // namespace verolux
