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

// Qt's PDF engine: slower, but takes any font Qt can draw.
bool writeWithQt(Report& report, QIODevice& out, QPointF offsetMm) {
    QPdfWriter writer(&out);
    writer.setResolution(1200);
    writer.setCreator(QStringLiteral("Verolux"));
    writer.setTitle(report.documentTitle());
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
        painter.resetTransform();
        painter.translate(offsetMm * (writer.resolution() / 25.4));
        report.paintPage(i, painter);
    }
    return painter.end();
}

} // namespace

bool WritePdf(Report& report, QIODevice& out, QString* error, QPointF offsetMm) {
    const int pages = report.pageCount();
    const QSizeF size = report.pageSizeMm();
    PdfCanvas canvas(out, report.styleFonts(), report.styleFonts().count());
    // A canvas that cannot embed a font gives up before writing anything: Qt's engine takes over.
    bool ok = false;
    if (canvas.supported()) {
        for (int i = 0; i < pages; ++i) {
            canvas.beginPage(size.width(), size.height(), offsetMm.x(), offsetMm.y());
            report.paintPage(i, canvas);
            canvas.endPage();
        }
        ok = canvas.finish(report.documentTitle(), QStringLiteral("Verolux"));
    } else {
        ok = writeWithQt(report, out, offsetMm);
    }
    if (!ok && error)
        *error = out.errorString().isEmpty() ? QStringLiteral("cannot write the PDF") : out.errorString();
    return ok;
}

bool WritePdf(Report& report, const QString& path, QString* error) {
    auto fail = [&](const QString& why) {
        if (error) *error = QFileInfo(path).fileName() + QStringLiteral(": ") + why;
        return false;
    };
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return fail(file.errorString());
    QString why;
    if (!WritePdf(report, file, &why)) return fail(why);
    if (!file.commit()) return fail(file.errorString());
    return true;
}

} // namespace verolux::reports
