#include "agent/reports/engine/PdfExport.h"

#include "agent/reports/engine/PdfCanvas.h"
#include "agent/reports/engine/Report.h"
#include "agent/reports/engine/StyleFonts.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace verolux::reports {

namespace {

QString documentTitle(Report& report) {
    return report.ReportTitle().isEmpty() ? QString::fromStdString(report.reportTemplate().title)
                                          : report.ReportTitle();
}

// Qt's PDF engine: slower, but takes any font Qt can draw.
bool writeWithQt(Report& report, QIODevice& out) {
    QPdfWriter writer(&out);
    writer.setResolution(1200);
    writer.setCreator(QStringLiteral("Verolux"));
    writer.setTitle(documentTitle(report));
    QSizeF size = report.pageSizeMm();
    bool wide = size.width() > size.height();
    QPageSize pageSize(wide ? size.transposed() : size, QPageSize::Millimeter, QString(),
                       QPageSize::ExactMatch);
    writer.setPageLayout(
        QPageLayout(pageSize, wide ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF()));
    QPainter painter;
    if (!painter.begin(&writer)) return false;
    for (int i = 0; i < report.pageCount(); ++i) {
        if (i > 0 && !writer.newPage()) return false;
        report.paintPage(i, painter);
    }
    return painter.end();
}

} // namespace

bool WritePdf(Report& report, const QString& path, QString* error) {
    auto fail = [&](const QString& why) {
        if (error) *error = QFileInfo(path).fileName() + QStringLiteral(": ") + why;
        return false;
    };
    const int pages = report.pageCount();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return fail(file.errorString());

    const QSizeF size = report.pageSizeMm();
    PdfCanvas canvas(file, report.styleFonts(), report.styleFonts().count());
    if (canvas.supported()) {
        for (int i = 0; i < pages; ++i) {
            canvas.beginPage(size.width(), size.height());
            report.paintPage(i, canvas);
            canvas.endPage();
        }
        if (!canvas.finish(documentTitle(report), QStringLiteral("Verolux"))) return fail(file.errorString());
    } else {
        // Nothing was written yet: the direct writer gives up before its first page.
        file.cancelWriting();
        QSaveFile again(path);
        if (!again.open(QIODevice::WriteOnly)) return fail(again.errorString());
        if (!writeWithQt(report, again)) return fail(QStringLiteral("cannot write the PDF"));
        if (!again.commit()) return fail(again.errorString());
        return true;
    }
    if (!file.commit()) return fail(file.errorString());
    return true;
}

} // namespace verolux::reports
