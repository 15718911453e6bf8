// print_report [--printer NAME] [--title TITLE] [--pdf OUT.pdf] TEMPLATE REQUEST.json
//
// Fills a template from a print request and prints it with PrintDirect(3, 0), as the output window
// does for a request that is neither a preview nor an export. --pdf also exports the same report, so a
// test can compare the printed job with the direct PDF. Exit 0 on success, 1 with the reason on stderr.
#include "tests/reports/printing/FillFromRequest.h"

#include <QGuiApplication>

#include <cstdio>

using namespace verolux::reports;

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QString printer, title, pdf;
    QStringList files;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == QStringLiteral("--printer") && hasValue)
            printer = args[++i];
        else if (a == QStringLiteral("--title") && hasValue)
            title = args[++i];
        else if (a == QStringLiteral("--pdf") && hasValue)
            pdf = args[++i];
        else
            files << a;
    }
    if (files.size() != 2) {
        std::fprintf(
            stderr,
            "usage: print_report [--printer NAME] [--title TITLE] [--pdf OUT.pdf] TEMPLATE REQUEST.json\n");
        return 2;
    }

    Report report;
    const QString error = testfill::LoadAndFill(report, files[0], files[1]);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "print_report: %s\n", error.toUtf8().constData());
        return 1;
    }
    // The job title names the cups-pdf output file, so a test can find its own job.
    if (!title.isEmpty()) report.ReportTitle(title);
    if (!printer.isEmpty()) report.PrinterName(printer);

    if (!pdf.isEmpty() && !report.ExportToFile(Report::kExportPdf, pdf, 0, 0)) {
        std::fprintf(stderr, "print_report: export: %s\n", report.lastError().toUtf8().constData());
        return 1;
    }
    if (!report.PrintDirect(3, 0)) {
        std::fprintf(stderr, "print_report: %s\n", report.lastError().toUtf8().constData());
        return 1;
    }
    std::printf("printed %d pages to %s\n", report.pageCount(),
                report.effectivePrinterName().toUtf8().constData());
    return 0;
}
