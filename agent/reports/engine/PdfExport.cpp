#include "engine/PdfExport.h"

#include "engine/Report.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace verolux::reports {

bool WritePdf(Report& report, const QString& path, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error) *error = QFileInfo(path).fileName() + QStringLiteral(": ") + why;
        return false;
    };
    const int pages = report.pageCount();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return fail(file.errorString());

    QPdfWriter writer(&file);
    writer.setResolution(1200);
    writer.setCreator(QStringLiteral("Verolux"));
    writer.setTitle(report.ReportTitle().isEmpty() ? QString::fromStdString(report.reportTemplate().title)
                                                   : report.ReportTitle());
    QSizeF size = report.pageSizeMm();
    bool wide = size.width() > size.height();
    QPageSize pageSize(wide ? size.transposed() : size, QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
    writer.setPageLayout(QPageLayout(pageSize, wide ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF()));

    QPainter painter;
    if (!painter.begin(&writer)) return fail(QStringLiteral("cannot start the PDF"));
    for (int i = 0; i < pages; ++i) {
        if (i > 0 && !writer.newPage()) return fail(QStringLiteral("cannot add a page"));
        report.paintPage(i, painter);
    }
    if (!painter.end()) return fail(QStringLiteral("cannot finish the PDF"));
    if (!file.commit()) return fail(file.errorString());
    return true;
}

} // namespace verolux::reports
