// viewer-screenshots OUTDIR [SOURCE_DIR]
//
// Shows the viewer with each sample template filled from its sample request, set up as the preview
// window sets it up, and saves viewer-<name>.png in OUTDIR; then its print dialog as the Print button
// opens it, as print-dialog.png. Run under a display: xvfb-run -a.
#include "agent/reports/viewer/ReportViewer.h"
#include "agent/reports/viewer/UiLanguage.h"

#include "agent/reports/engine/Report.h"
#include "agent/reports/engine/RequestFill.h"
#include "tools/screenshots/SampleShots.h"

#include <QAction>
#include <QApplication>
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
    auto shots = verolux::tools::SampleShots::FromArguments(app.arguments(), "viewer-screenshots",
                                                            QStringLiteral(VEROLUX_SOURCE_DIR));
    if (!shots) return 2;

    for (const char* name : verolux::tools::kSamples) {
        const QString n = QString::fromLatin1(name);
        Report report;
        const QString error =
            LoadAndFill(report, shots->sample("templates", n, ".grf"), shots->sample("requests", n, ".json"));
        if (!error.isEmpty()) {
            shots->fail(name, error);
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
        const QString path =
            shots->save(viewer, QStringLiteral("viewer-") + n + QStringLiteral(".png"), name);
        if (path.isEmpty()) continue;
        std::printf("%s: %d pages, zoom %.0f%% -> %s\n", name, viewer.pageCount(), viewer.zoom() * 100,
                    path.toUtf8().constData());
        if (n != QStringLiteral("orders")) continue;
        // The print dialog over the preview, grabbed once it has settled, then cancelled.
        QString dialogPath;
        bool grabbed = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            poll.stop();
            grabbed = true;
            // With its options shown: copies, page range, duplex.
            for (auto* b : dialog->findChildren<QPushButton*>())
                if (b->text().contains(QStringLiteral(">>"))) b->click();
            settle();
            dialogPath = shots->save(*dialog, QStringLiteral("print-dialog.png"), "print dialog");
            dialog->reject();
        });
        poll.start(20);
        viewer.action(ReportViewer::CmdPrint)->trigger();
        if (!grabbed)
            shots->fail("print dialog", QStringLiteral("not shown"));
        else if (!dialogPath.isEmpty())
            std::printf("print dialog -> %s\n", dialogPath.toUtf8().constData());
    }
    return shots->exitCode();
}
