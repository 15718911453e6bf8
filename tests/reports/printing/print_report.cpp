// print_report [--printer NAME] [--title TITLE] [--pdf OUT.pdf] [--copies N] [--pages RANGES]
//              [--viewer [--duplex]] TEMPLATE REQUEST.json
// Fills a template from a print request and prints it with PrintDirect(3, 0), as the output window does
// for a plain print; --viewer prints from a preview, answering its print dialog as a user would (printer,
// copies, page range, long-edge duplex with --duplex). --pdf also exports the report, to compare with
// the printed job. Prints "job N" (the CUPS job id), or exits 1 with the reason on stderr.
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

int Fail(const QString& why) {
    std::fprintf(stderr, "print_report: %s\n", why.toUtf8().constData());
    return 1;
}

struct Choices {
    QString printer, pages;
    int copies = 1;
    bool duplex = false;
};

// Fills in Qt's own print dialog by its widgets' names, then presses Print. Empty, or why it cannot.
QString Answer(QPrintDialog* dialog, const Choices& c) {
    auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printers"));
    auto* copies = dialog->findChild<QSpinBox*>(QStringLiteral("copies"));
    auto* rangeButton = dialog->findChild<QAbstractButton*>(QStringLiteral("printRange"));
    auto* from = dialog->findChild<QSpinBox*>(QStringLiteral("from"));
    auto* to = dialog->findChild<QSpinBox*>(QStringLiteral("to"));
    auto* duplexLong = dialog->findChild<QAbstractButton*>(QStringLiteral("duplexLong"));
    if (!printers || !copies || !rangeButton || !from || !to || !duplexLong)
        return QStringLiteral("the print dialog lacks an expected control");
    const int index = printers->findText(c.printer);
    if (index < 0) return QStringLiteral("the print dialog does not offer \"%1\"").arg(c.printer);
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
    return {};
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
            if (answered || !error.isEmpty())
                dialog->reject(); // the dialog refused what it was given
            else
                answered = (error = Answer(dialog, choices)).isEmpty();
        }
    });
    poll.start(20);
    viewer.action(ReportViewer::CmdPrint)->trigger(); // returns when the dialog and the print are done
    if (answered && error.isEmpty()) return report.lastJobId();
    Fail(error.isEmpty() ? QStringLiteral("no dialog") : error);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // The first five options take a value; the others are switches.
    QCommandLineParser cli;
    for (const char* name : {"printer", "title", "pdf", "copies", "pages", "viewer", "duplex"})
        cli.addOption({QString::fromLatin1(name), QString(),
                       name[0] == 'v' || name[0] == 'd' ? QString() : QStringLiteral("value")});
    if (!cli.parse(app.arguments()) || cli.positionalArguments().size() != 2) {
        Fail(QStringLiteral("usage: see the top of print_report.cpp"));
        return 2;
    }
    const auto value = [&cli](const char* name) { return cli.value(QString::fromLatin1(name)); };
    const QStringList files = cli.positionalArguments();
    const QString printer = value("printer"), title = value("title"), pdf = value("pdf"),
                  pages = value("pages");
    const int copies = cli.isSet(QStringLiteral("copies")) ? value("copies").toInt() : 1;

    Report report;
    const QString error = testfill::LoadAndFill(report, files[0], files[1]);
    if (!error.isEmpty()) return Fail(error);
    // The job title names the cups-pdf output file, so a test can find its own job.
    if (!title.isEmpty()) report.ReportTitle(title);
    if (!printer.isEmpty()) report.PrinterName(printer);

    if (!pdf.isEmpty() && !report.ExportToFile(Report::kExportPdf, pdf, 0, 0))
        return Fail(QStringLiteral("export: ") + report.lastError());
    int job = 0;
    if (cli.isSet(QStringLiteral("viewer"))) {
        job = PrintFromViewer(report, {printer, pages, copies, cli.isSet(QStringLiteral("duplex"))});
    } else {
        report.setPrintOptions({.copies = copies, .pageRanges = pages});
        if (report.PrintDirect(3, 0)) job = report.lastJobId();
    }
    if (job <= 0) return Fail(report.lastError());
    std::printf("job %d\n", job);
    return 0;
}
