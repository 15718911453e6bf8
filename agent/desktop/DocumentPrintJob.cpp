#include "agent/desktop/DocumentPrintJob.h"

#include "agent/printing/DocumentJob.h"
#include "agent/printing/DocumentShift.h"
#include "agent/printing/PageRuns.h"
#include "agent/reports/cups/CupsError.h"
#include "agent/reports/cups/CupsPrinters.h"
#include "agent/reports/cups/CupsRawJob.h"
#include "agent/reports/cups/MediaChoice.h"
#include "agent/reports/cups/PwgNames.h"
#include "agent/reports/windows/DocumentPages.h"
#include "agent/reports/windows/PicturePdf.h"
#include "agent/reports/windows/ShiftedPdf.h"

#include <QTemporaryFile>

namespace verolux {
namespace {

constexpr double kPointsPerMm = 72 / 25.4;
// CUPS jobs one document may become.
constexpr std::size_t kMaxSplitJobs = 100;
// A printer that does not say its resolution gets pages drawn this fine.
constexpr int kDefaultPrinterDpi = 300;
// CUPS' image filters take a picture that names no resolution at this one.
constexpr double kCupsPictureDpi = 128;

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

// The document moved by the printer's offset, as a PDF in `file`; false with the reason when it could
// not be. `sheetMm` is the paper every page goes on, 0 × 0 when each page goes on its own size.
bool WriteMoved(DocumentFormat format, std::string_view bytes, const DocumentPrint& d, Fit fit,
                const PrinterOffset& offset, QSizeF sheetMm, int dpi, const std::atomic<bool>* abort,
                QTemporaryFile& file, std::string* error) {
    if (!file.open()) {
        *error = "cannot write a temporary file: " + file.errorString().toStdString();
        return false;
    }
    const auto shiftMm = [&](QSizeF points) {
        const PageShift s =
            ShiftOnPage(offset, {points.width(), points.height()}, sheetMm.width(), sheetMm.height(), fit);
        return QPointF(s.xMm, s.yMm);
    };
    if (format != DocumentFormat::Pdf) {
        if (WritePicturePdf(bytes, file, shiftMm, kCupsPictureDpi) && file.flush()) return true;
        *error = "cannot write the picture as a PDF: " + file.errorString().toStdString();
        return false;
    }
    PdfShift shift;
    shift.dpi = dpi > 0 ? dpi : kDefaultPrinterDpi;
    shift.drawn = [ranges = ReadPageRanges(d.options.pages)](int page) {
        return PageSelected(ranges, page + 1);
    };
    shift.shiftMm = shiftMm;
    shift.abort = abort;
    return WriteShiftedPdf(bytes, shift, file, error) && file.flush();
}

// What goes to CUPS: the document as it came, or a PDF of it moved by the printer's offset.
struct Outgoing {
    std::string_view bytes;
    const char* type;
    cups::Scaling scaling;
    QTemporaryFile moved; // holds the moved PDF while it is sent
};

// CUPS has no option that moves a document: the agent draws it moved, for the paper every page goes on
// (`media`, "" for the printer's own) or, `ownPaper`, each page on a paper of its own size.
// False with the reason when the document cannot go at all; a PDF our reader cannot draw goes as it
// is, and the log says why.
bool Move(DocumentFormat format, const DocumentPrint& d, const PrinterOffset& offset,
          const std::string& queue, const std::string& media, bool ownPaper, Outgoing& out,
          std::string* error, const std::function<void(std::string_view)>& log,
          const std::atomic<bool>* abort) {
    if (!cups::TakesPdfDocuments()) return true; // a PDF is refused there further on
    if (format == DocumentFormat::Pdf && !ShiftedPdfSupported()) {
        static std::atomic<bool> told{false};
        if (!told.exchange(true) && log) log("打印机校准未用于 PDF 文档：此版本没有 Qt PDF，PDF 按原样打印");
        return true;
    }
    cups::PrinterInfo info;
    if (!cups::QueryPrinter(queue, &info, error)) return false;
    QSizeF sheet;
    int widthHmm = 0, heightHmm = 0;
    if (!ownPaper && cups::SizeOfName(media.empty() ? info.defaultMedia : media, &widthHmm, &heightHmm))
        sheet = QSizeF(widthHmm / 100.0, heightHmm / 100.0);
    // CUPS fits a picture to the sheet unless told otherwise; a PDF page it leaves as it is.
    Fit fit = d.fit;
    if (format != DocumentFormat::Pdf && fit == Fit::Printer) {
        fit = Fit::Fit;
        out.scaling = cups::Scaling::Fit;
    }
    std::string why;
    if (!WriteMoved(format, out.bytes, d, fit, offset, sheet, info.resolutionDpi, abort, out.moved, &why)) {
        if (abort && *abort) {
            *error = "cancelled";
            return false;
        }
        if (format != DocumentFormat::Pdf || out.moved.error() != QFileDevice::NoError) {
            *error = why;
            return false;
        }
        if (log) log("打印机校准未用于此 PDF：" + why);
        return true;
    }
    const uchar* mapped = out.moved.map(0, out.moved.size());
    if (!mapped) {
        *error = "cannot read back " + out.moved.fileName().toStdString();
        return false;
    }
    out.bytes = std::string_view(reinterpret_cast<const char*>(mapped), std::size_t(out.moved.size()));
    out.type = "application/pdf";
    return true;
}

} // namespace

void PrintDocument(const DocumentPrint& d, const std::string& bytes, const std::string& jobId,
                   const std::function<void(const JobStep&)>& report,
                   const std::function<PrinterOffset(const std::string& queue)>& offsetOf,
                   const std::function<void(std::string_view)>& log, const std::atomic<bool>* abort) {
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
    const bool split = runs.size() > 1 && runs.size() <= kMaxSplitJobs;

    Outgoing out{bytes, MimeType(format), scaling, {}};
    const PrinterOffset offset = offsetOf ? offsetOf(queue) : PrinterOffset{};
    if (!offset.zero() && format != DocumentFormat::Pdf && !cups::TakesPdfDocuments()) {
        // The spooler path draws a picture itself, and moves it as it draws.
        o.offsetXMm = offset.xMm();
        o.offsetYMm = offset.yMm();
    } else if (!offset.zero() && !Move(format, d, offset, queue, o.media, split, out, &error, log, abort)) {
        return fail(failure::kPrintFailed, error);
    }

    if (!split) {
        JobStep spooled(JobStep::Kind::Spooled);
        if (!cups::SendDocumentJob(queue, title, out.type, out.bytes,
                                   cups::DocumentOptionList(o, out.scaling, d.options.duplex.has_value()),
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
            if (!cups::SendDocumentJob(
                    queue, title, out.type, out.bytes,
                    cups::DocumentOptionList(part, out.scaling, d.options.duplex.has_value()),
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
