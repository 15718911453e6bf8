#include "agent/reports/viewer/ViewerReportAccess.h"

#include "agent/reports/engine/Report.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>

namespace verolux::reports {

namespace {

cups::Sides SidesOf(const QPrinter& printer) {
    switch (printer.duplex()) {
    case QPrinter::DuplexLongSide:
        return cups::Sides::TwoSidedLongEdge;
    case QPrinter::DuplexShortSide:
        return cups::Sides::TwoSidedShortEdge;
    case QPrinter::DuplexAuto:
        // Bound along the page's long side, as the page is read.
        return printer.pageLayout().orientation() == QPageLayout::Landscape ? cups::Sides::TwoSidedShortEdge
                                                                            : cups::Sides::TwoSidedLongEdge;
    case QPrinter::DuplexNone:
        break;
    }
    return cups::Sides::OneSided;
}

QString PageRangesOf(const QPrinter& printer) {
    if (printer.printRange() != QPrinter::PageRange) return QString();
    const QPageRanges ranges = printer.pageRanges();
    if (!ranges.isEmpty()) return ranges.toString();
    if (printer.fromPage() <= 0) return QString();
    return QStringLiteral("%1-%2")
        .arg(printer.fromPage())
        .arg(std::max(printer.fromPage(), printer.toPage()));
}

} // namespace

QObject* ReportAsObject(Report* report) {
    return report;
}

QString ReportTitleOf(Report& report) {
    return report.documentTitle();
}

std::vector<PageSizeMm> ReportPageSizes(Report& report) {
    const int count = report.pageCount();
    const QSizeF size = report.pageSizeMm();
    return std::vector<PageSizeMm>(static_cast<size_t>(std::max(0, count)),
                                   PageSizeMm{size.width(), size.height()});
}

void PaintReportPage(Report& report, int index, QPainter& painter) {
    // The engine draws in device pixels (logical dpi / 25.4 per mm); the caller's unit is the millimetre.
    const double deviceMm = painter.device() ? painter.device()->logicalDpiX() / 25.4 : 96 / 25.4;
    painter.save();
    painter.scale(1 / deviceMm, 1 / deviceMm);
    report.paintPage(index, painter);
    painter.restore();
}

void PreparePrinterFor(Report& report, QPrinter& printer) {
    const PageSetup& page = report.reportTemplate().page;
    printer.setDocName(report.documentTitle());
    if (!report.effectivePrinterName().isEmpty()) printer.setPrinterName(report.effectivePrinterName());
    printer.setFullPage(true);
    const QPageSize size(QSizeF(page.width, page.height), QPageSize::Millimeter, QString(),
                         QPageSize::FuzzyMatch);
    printer.setPageLayout(
        QPageLayout(size, report.landscape() ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF()));
}

bool PrintReportOn(Report& report, const QPrinter& printer, QString* error) {
    if (printer.outputFormat() == QPrinter::PdfFormat)
        return ExportReportPdf(report, printer.outputFileName(), error);
    PrintOptions options;
    options.copies = printer.copyCount();
    options.collate = printer.collateCopies();
    options.sides = SidesOf(printer);
    options.pageRanges = PageRangesOf(printer);
    options.reverse = printer.pageOrder() == QPrinter::LastPageFirst;
    options.grayscale = printer.colorMode() == QPrinter::GrayScale;
    if (report.print(printer.printerName(), options)) return true;
    if (error) *error = report.lastError();
    return false;
}

bool ExportReportPdf(Report& report, const QString& path, QString* error) {
    if (report.ExportToFile(Report::kExportPdf, path, 0, 0)) return true;
    if (error) *error = report.lastError();
    return false;
}

} // namespace verolux::reports
