// print_report [--printer NAME] [--title TITLE] [--pdf OUT.pdf] [--copies N] [--pages RANGES]
//              [--viewer [--duplex]] TEMPLATE REQUEST.json
//
// Fills a template from a print request and prints it with PrintDirect(3, 0), as the output window
// does for a request that is neither a preview nor an export. --viewer prints from a preview instead:
// the print button opens the print dialog, which this program answers as a user would (printer,
// copies, page range, long-edge duplex with --duplex). --pdf also exports the same report, so a test
// can compare the printed job with the direct PDF. Prints "job N" (the CUPS job id) and exits 0 on
// success; exit 1 with the reason on stderr.
#include "agent/reports/viewer/ReportViewer.h"
#include "tests/reports/printing/FillFromRequest.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QSpinBox>
#include <QTimer>

#include <cstdio>

using namespace verolux::reports;

namespace {

struct Choices {
    QString printer, pages;
    int copies = 1;
    bool duplex = false;
};

template <typename T> T* Child(QWidget* dialog, const char* name) {
    return dialog->findChild<T*>(QString::fromLatin1(name));
}

// Fills in Qt's own print dialog by its widgets' names, then presses Print.
bool Answer(QPrintDialog* dialog, const Choices& c, QString* error) {
    auto* printers = Child<QComboBox>(dialog, "printers");
    auto* copies = Child<QSpinBox>(dialog, "copies");
    auto* rangeButton = Child<QAbstractButton>(dialog, "printRange");
    auto* from = Child<QSpinBox>(dialog, "from");
    auto* to = Child<QSpinBox>(dialog, "to");
    auto* duplexLong = Child<QAbstractButton>(dialog, "duplexLong");
    if (!printers || !copies || !rangeButton || !from || !to || !duplexLong) {
        *error = QStringLiteral("the print dialog lacks an expected control");
        return false;
    }
    const int index = printers->findText(c.printer);
    if (index < 0) {
        *error = QStringLiteral("the print dialog does not offer \"%1\"").arg(c.printer);
        return false;
    }
    printers->setCurrentIndex(index);
    copies->setValue(c.copies);
    if (!c.pages.isEmpty()) {
        rangeButton->setChecked(true);
        from->setValue(c.pages.section(QLatin1Char('-'), 0, 0).toInt());
        to->setValue(c.pages.section(QLatin1Char('-'), -1).toInt());
    }
    if (c.duplex) duplexLong->setChecked(true);
    // Accepting may open a message box of its own: not inside this timer's call.
    QTimer::singleShot(0, dialog, &QDialog::accept);
    return true;
}

int PrintFromViewer(Report& report, const Choices& choices) {
    ReportViewer viewer;
    viewer.resize(800, 600);
    viewer.BindReport(&report);
    viewer.StartPreview();
    viewer.show();
    QString error;
    bool answered = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            // A warning of the dialog or of the viewer after a failed print: keep its text, close it.
            error = box->text();
            box->accept();
        } else if (auto* dialog = qobject_cast<QPrintDialog*>(modal)) {
            if (!answered && error.isEmpty())
                answered = Answer(dialog, choices, &error);
            else
                dialog->reject(); // the dialog refused what it was given
        }
    });
    poll.start(20);
    viewer.action(ReportViewer::CmdPrint)->trigger(); // returns when the dialog and the print are done
    if (!answered || !error.isEmpty()) {
        std::fprintf(stderr, "print_report: %s\n",
                     qPrintable(error.isEmpty() ? QStringLiteral("no dialog") : error));
        return 0;
    }
    return report.lastJobId();
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // Options with a value name take one; the others are switches.
    const auto option = [](const char* name, const char* value = "") {
        return QCommandLineOption(QString::fromLatin1(name), QString(), QString::fromLatin1(value));
    };
    const QCommandLineOption printerOpt = option("printer", "NAME"), titleOpt = option("title", "TITLE"),
                             pdfOpt = option("pdf", "OUT.pdf"), copiesOpt = option("copies", "N"),
                             pagesOpt = option("pages", "RANGES"), viewerOpt = option("viewer"),
                             duplexOpt = option("duplex");
    QCommandLineParser cli;
    cli.addOptions({printerOpt, titleOpt, pdfOpt, copiesOpt, pagesOpt, viewerOpt, duplexOpt});
    if (!cli.parse(app.arguments()) || cli.positionalArguments().size() != 2) {
        std::fprintf(stderr,
                     "usage: print_report [--printer NAME] [--title TITLE] [--pdf OUT.pdf] [--copies N] "
                     "[--pages RANGES] [--viewer [--duplex]] TEMPLATE REQUEST.json\n");
        return 2;
    }
    const QStringList files = cli.positionalArguments();
    const QString printer = cli.value(printerOpt), title = cli.value(titleOpt), pdf = cli.value(pdfOpt),
                  pages = cli.value(pagesOpt);
    const int copies = cli.isSet(copiesOpt) ? cli.value(copiesOpt).toInt() : 1;

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
    int job = 0;
    if (cli.isSet(viewerOpt)) {
        job = PrintFromViewer(report, {printer, pages, copies, cli.isSet(duplexOpt)});
    } else {
        PrintOptions options;
        options.copies = copies;
        options.pageRanges = pages;
        report.setPrintOptions(options);
        if (report.PrintDirect(3, 0)) job = report.lastJobId();
    }
    if (job <= 0) {
        std::fprintf(stderr, "print_report: %s\n", report.lastError().toUtf8().constData());
        return 1;
    }
    std::printf("job %d\n", job);
    return 0;
}
