#include "agent/reports/engine/Printing.h"

#include "agent/reports/engine/Report.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace verolux::reports {

namespace {

// The template's paper as the printer should see it: a named size where there is one, so the driver
// picks its own media entry (cups-pdf, real trays) instead of a custom size.
QPageSize PaperOf(const Report& report) {
    const PageSetup& page = report.reportTemplate().page;
    static const struct {
        const char* name;
        QPageSize::PageSizeId id;
    } named[] = {{"A3", QPageSize::A3}, {"A4", QPageSize::A4},         {"A5", QPageSize::A5},
                 {"B5", QPageSize::B5}, {"Letter", QPageSize::Letter}, {"Legal", QPageSize::Legal}};
    for (const auto& n : named)
        if (page.paper == n.name) return QPageSize(n.id);
    return QPageSize(QSizeF(page.width, page.height), QPageSize::Millimeter, QString(),
                     QPageSize::ExactMatch);
}

QString PrinterToUse(const Report& report, const QString& requested) {
    if (!requested.isEmpty()) return requested;
    QString fromTemplate = QString::fromStdString(report.reportTemplate().printer);
    if (!fromTemplate.isEmpty()) return fromTemplate;
    return QPrinterInfo::defaultPrinterName();
}

} // namespace

bool PrintReportTo(Report& report, const QString& printerName, QString* error) {
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };

    const QString name = PrinterToUse(report, printerName);
    if (name.isEmpty()) return fail(QStringLiteral("no printer: none named and no system default printer"));
    // QPrinter silently falls back to another printer for an unknown name; a print job must not
    // land on the wrong device.
    if (QPrinterInfo::printerInfo(name).isNull())
        return fail(QStringLiteral("printer \"%1\" does not exist").arg(name));

    const int pages = report.pageCount();
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(name);
    printer.setDocName(report.ReportTitle().isEmpty() ? QString::fromStdString(report.reportTemplate().title)
                                                      : report.ReportTitle());
    printer.setColorMode(QPrinter::Color);
    // The engine places everything from the paper's corner and keeps to the template's margins itself.
    printer.setFullPage(true);
    printer.setPageLayout(QPageLayout(
        PaperOf(report), report.landscape() ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF()));
    if (!printer.isValid()) return fail(QStringLiteral("printer \"%1\" cannot be opened").arg(name));

    QPainter painter;
    if (!painter.begin(&printer)) return fail(QStringLiteral("printer \"%1\" refused the job").arg(name));
    for (int i = 0; i < pages; ++i) {
        if (i > 0 && !printer.newPage()) {
            painter.end();
            return fail(QStringLiteral("printer \"%1\": cannot start page %2").arg(name).arg(i + 1));
        }
        report.paintPage(i, painter);
    }
    if (!painter.end())
        return fail(QStringLiteral("printer \"%1\": the job could not be finished").arg(name));
    return true;
}

} // namespace verolux::reports
