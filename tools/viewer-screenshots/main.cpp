// viewer-screenshots OUTDIR [SOURCE_DIR]
//
// Shows the viewer with each sample template filled from its sample request, set up as the preview
// window sets it up, and saves viewer-<name>.png in OUTDIR; then its print dialog as the Print button
// opens it, as print-dialog.png. Run under a display: xvfb-run -a.
#include "agent/reports/viewer/ReportViewer.h"
#include "agent/reports/viewer/UiLanguage.h"

#include "agent/reports/engine/Report.h"
#include "agent/reports/engine/RequestFill.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPrintDialog>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <cstdio>

using namespace verolux::reports;

namespace {

void settle() {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 300) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
}

// Loads a template and fills it from a print-request file as the report windows do; the reason when not.
QString LoadAndFill(Report& report, const QString& templatePath, const QString& requestPath) {
    if (!report.LoadTemplate(templatePath)) return report.lastError();
    QFile file(requestPath);
    if (!file.open(QIODevice::ReadOnly)) return requestPath + QStringLiteral(": ") + file.errorString();
    const QByteArray text = file.readAll();
    try {
        FillFromRequest(
            report, verolux::JsonDocument::Parse(std::string_view(text.constData(), size_t(text.size()))));
    } catch (const verolux::JsonError& e) {
        return requestPath + QStringLiteral(": ") + QString::fromUtf8(e.what());
    }
    return {};
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    InstallQtTranslations(app);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: viewer-screenshots OUTDIR [SOURCE_DIR]\n");
        return 2;
    }
    const QDir out(args[1]);
    QDir().mkpath(out.path());
    const QString source = args.size() > 2 ? args[2] : QStringLiteral(VEROLUX_SOURCE_DIR);

    int failures = 0;
    for (const char* name : {"orders", "invoice", "labels"}) {
        const QString n = QString::fromLatin1(name);
        Report report;
        const QString error =
            LoadAndFill(report, source + QStringLiteral("/demo/templates/") + n + QStringLiteral(".grf"),
                        source + QStringLiteral("/demo/requests/") + n + QStringLiteral(".json"));
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%s: %s\n", name, error.toUtf8().constData());
            ++failures;
            continue;
        }
        ReportViewer viewer;
        viewer.setWindowTitle(QStringLiteral("报表预览-") + n + QStringLiteral(".grf"));
        viewer.resize(1000, 760);
        viewer.SetSetting(145, 2);
        viewer.CallOperation(63, 1);
        viewer.CallOperation(63, 19);
        viewer.CallOperation(67);
        viewer.BindReport(&report);
        viewer.show();
        settle();
        viewer.StartPreview();
        // A one-page invoice reads best whole; the lists as the preview window opens them.
        if (n == QStringLiteral("invoice")) viewer.fitPage();
        settle();
        const QString path = out.filePath(QStringLiteral("viewer-") + n + QStringLiteral(".png"));
        if (!viewer.grab().save(path)) {
            std::fprintf(stderr, "%s: cannot write %s\n", name, path.toUtf8().constData());
            ++failures;
            continue;
        }
        std::printf("%s: %d pages, zoom %.0f%% -> %s\n", name, viewer.pageCount(), viewer.zoom() * 100,
                    path.toUtf8().constData());
        if (n != QStringLiteral("orders")) continue;
        // The print dialog over the preview, grabbed once it has settled, then cancelled.
        const QString dialogPath = out.filePath(QStringLiteral("print-dialog.png"));
        bool grabbed = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            poll.stop();
            // With its options shown: copies, page range, duplex.
            for (auto* b : dialog->findChildren<QPushButton*>())
                if (b->text().contains(QStringLiteral(">>"))) b->click();
            settle();
            grabbed = dialog->grab().save(dialogPath);
            dialog->reject();
        });
        poll.start(20);
        viewer.action(ReportViewer::CmdPrint)->trigger();
        if (!grabbed) {
            std::fprintf(stderr, "print dialog: not grabbed\n");
            ++failures;
        } else {
            std::printf("print dialog -> %s\n", dialogPath.toUtf8().constData());
        }
    }
    return failures ? 1 : 0;
}
