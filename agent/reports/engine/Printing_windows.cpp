#include "agent/reports/engine/Printing.h"

#include "agent/reports/cups/CupsPrinters.h"
#include "agent/reports/cups/GdiJob_windows.h"
#include "agent/reports/cups/PageSelection.h"
#include "agent/reports/engine/PrintJobOptions.h"
#include "agent/reports/engine/Report.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace verolux::reports {

// Pages reach a Windows printer as bitmaps the engine's own painter drew, one per page, not as GDI
// text: the report looks the same as its PDF and preview whatever fonts the printer's driver has,
// and no TrueType font is ever downloaded to the driver (Wine's PostScript driver crashes on that;
// real drivers differ in how they substitute fonts). The price is the spool size of a bitmap page,
// kept down by drawing at most at kMaxDpi and in grey when the job asks for grey.

namespace {

constexpr int kMaxDpi = 300;
constexpr double kMmPerInch = 25.4;

// Whether any pixel of an RGB32 page has a colour other than a grey.
bool HasColour(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qRed(line[x]) != qGreen(line[x]) || qGreen(line[x]) != qBlue(line[x])) return true;
    }
    return false;
}

// Page `index` drawn by the engine at `dpi`: white paper, the report's pixels; 8-bit grey when the job
// asks for grey or the page has no colour (a quarter of the spool size).
QImage RenderPage(Report& report, int index, int dpi, bool gray) {
    const QSizeF mm = report.pageSizeMm();
    QImage image(int(std::lround(mm.width() * dpi / kMmPerInch)),
                 int(std::lround(mm.height() * dpi / kMmPerInch)), QImage::Format_RGB32);
    const int dotsPerMeter = int(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                               QPainter::SmoothPixmapTransform);
        report.paintPage(index, painter);
    }
    return gray || !HasColour(image) ? image.convertToFormat(QImage::Format_Grayscale8) : image;
}

} // namespace

int PrintReportTo(Report& report, const QString& printerName, const PrintOptions& options,
                  cups::PrintError* error) {
    std::string printer, why;
    if (!cups::ResolvePrinter(printerName.toStdString(), &printer, error)) return 0;

    // Lay out before the job exists, so a long layout does not hold a half-open job.
    const int count = report.pageCount();
    const std::vector<int> pages =
        cups::SelectPages(options.pageRanges.toStdString(), count, options.reverse);
    if (pages.empty()) {
        cups::FailWith(error, cups::PrintFailure::Refused,
                       "printer \"" + printer + "\": the pages \"" + options.pageRanges.toStdString() +
                           "\" select none of the report's " + std::to_string(count) + " pages");
        return 0;
    }

    cups::win::GdiJob job;
    if (!job.open(printer, report.documentTitle().toStdString(), JobOptionsFor(report, options), error))
        return 0;
    const int dpi = std::min({kMaxDpi, job.dpiX(), job.dpiY()});
    const QSizeF mm = report.pageSizeMm();
    // Copies the driver does not make: all pages per copy when collated, else each page n times.
    const int copies = job.copiesToDraw();
    std::vector<int> order;
    for (int c = 0; c < (options.collate ? copies : 1); ++c)
        for (const int page : pages)
            for (int r = 0; r < (options.collate ? 1 : copies); ++r)
                order.push_back(page);
    QImage image;
    int rendered = -1;
    for (const int page : order) {
        if (page != rendered) {
            image = RenderPage(report, page, dpi, options.grayscale);
            rendered = page;
        }
        const cups::win::Bitmap bitmap{image.constBits(), image.width(), image.height(),
                                       int(image.bytesPerLine()),
                                       image.format() == QImage::Format_Grayscale8};
        // The job moves it by the printer's calibration, as the PDF writer does for CUPS.
        if (!job.startPage(&why) || !job.draw(bitmap, 0, 0, mm.width(), mm.height(), &why) ||
            !job.endPage(&why)) {
            cups::FailWith(error, cups::PrintFailure::Failed, why);
            return 0;
        }
    }
    if (!job.finish(&why)) {
        cups::FailWith(error, cups::PrintFailure::Refused, why);
        return 0;
    }
    return job.jobId();
}

} // namespace verolux::reports
