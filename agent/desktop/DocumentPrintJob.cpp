#include "agent/desktop/DocumentPrintJob.h"

#include "agent/printing/DocumentJob.h"
#include "agent/printing/PageRuns.h"
#include "agent/reports/cups/CupsError.h"
#include "agent/reports/cups/CupsPrinters.h"
#include "agent/reports/cups/CupsRawJob.h"
#include "agent/reports/cups/MediaChoice.h"
#include "agent/reports/windows/DocumentPages.h"

namespace verolux {
namespace {

constexpr double kPointsPerMm = 72 / 25.4;
// CUPS jobs one document may become.
constexpr std::size_t kMaxSplitJobs = 100;

// The PDF's selected pages in runs of one paper size; empty when its pages cannot be read here.
std::vector<PageRun> PaperRuns(const std::string& bytes, const std::string& pages) {
    DocumentPages document;
    std::string ignored;
    if (!document.Load(bytes, &ignored)) return {};
    std::vector<PagePoints> sizes;
    for (int i = 0; i < document.count(); ++i)
        sizes.push_back({document.pointSize(i).width(), document.pointSize(i).height()});
    return SplitByPaper(sizes, pages);
}

} // namespace

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
    const std::string title = jobId.empty() ? "document" : "document " + jobId;
    std::vector<PageRun> runs;
    // CUPS puts every page of a job on the job's one paper: a PDF whose pages differ in size goes as
    // one job per run of pages of one size, each on its own paper (where the printer has it).
    if (format == DocumentFormat::Pdf && d.options.paper.empty()) runs = PaperRuns(bytes, d.options.pages);
    if (runs.size() <= 1 || runs.size() > kMaxSplitJobs) {
        JobStep spooled(JobStep::Kind::Spooled);
        if (!cups::SendDocumentJob(queue, title, MimeType(format), bytes,
                                   cups::DocumentOptionList(o, scaling, d.options.duplex.has_value()),
                                   &spooled.cupsJobId, &error))
            return fail(failure::kPrintFailed, error);
        return report(spooled);
    }
    cups::PrinterInfo info;
    if (!cups::QueryPrinter(queue, &info, &error)) return fail(failure::kPrintFailed, error);
    JobStep spooled(JobStep::Kind::Spooled);
    // Copies come out whole, one after the other, as a report's do; past a bound of jobs, each run's
    // copies together.
    const int rounds = runs.size() * std::size_t(o.copies) <= kMaxSplitJobs ? o.copies : 1;
    for (int round = 0; round < rounds; ++round)
        for (const PageRun& run : runs) {
            cups::JobOptions part = o;
            part.copies = rounds > 1 ? 1 : o.copies;
            part.pageRanges = run.ranges;
            const cups::MediaDecision media = cups::DecideMedia(
                info, {"", "", run.size.width / kPointsPerMm, run.size.height / kPointsPerMm});
            part.media = media.error.empty() ? media.media : ""; // a size it lacks: its own paper
            if (spooled.cupsJobId) spooled.earlierCupsJobIds.push_back(spooled.cupsJobId);
            if (!cups::SendDocumentJob(queue, title, MimeType(format), bytes,
                                       cups::DocumentOptionList(part, scaling, d.options.duplex.has_value()),
                                       &spooled.cupsJobId, &error)) {
                // Half a document does not print.
                std::string ignored;
                for (const int earlier : spooled.earlierCupsJobIds)
                    cups::CancelJob(earlier, &ignored);
                return fail(failure::kPrintFailed, error);
            }
        }
    // Followed by its last job: one queue prints them in order.
    report(spooled);
}

} // namespace verolux
