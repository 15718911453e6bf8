#include "agent/reports/viewer/ViewerReportAccess.h"

#include "agent/reports/engine/Report.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>

namespace verolux::reports {

QObject* ReportAsObject(Report* report) {
    return report;
}

QString ReportTitleOf(Report& report) {
    return report.ReportTitle().isEmpty() ? QString::fromStdString(report.reportTemplate().title)
                                          : report.ReportTitle();
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
    printer.setDocName(ReportTitleOf(report));
    if (!report.effectivePrinterName().isEmpty()) printer.setPrinterName(report.effectivePrinterName());
    printer.setFullPage(true);
    const QPageSize size(QSizeF(page.width, page.height), QPageSize::Millimeter, QString(),
                         QPageSize::FuzzyMatch);
    printer.setPageLayout(
        QPageLayout(size, report.landscape() ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF()));
}

bool PrintReportOn(Report& report, QPrinter& printer, QString* error) {
    const int count = report.pageCount();
    int from = 1, to = count;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        from = std::max(1, printer.fromPage());
        to = std::min(count, printer.toPage() > 0 ? printer.toPage() : count);
    }
    if (from > to) {
        if (error) *error = QStringLiteral("no pages in the chosen range");
        return false;
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (error) *error = QStringLiteral("printer \"%1\" refused the job").arg(printer.printerName());
        return false;
    }
    for (int page = from; page <= to; ++page) {
        if (page > from) printer.newPage();
        report.paintPage(page - 1, painter);
    }
    painter.end();
    return true;
}

bool ExportReportPdf(Report& report, const QString& path, QString* error) {
    if (report.ExportToFile(Report::kExportPdf, path, 0, 0)) return true;
    if (error) *error = report.lastError();
    return false;
}

} // namespace verolux::reports
