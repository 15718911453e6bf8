// designer-screenshots OUTDIR [SOURCE_DIR]
//
// Shows the designer with each sample template, a few items selected, and saves designer-<name>.png
// in OUTDIR. Run under a display: xvfb-run -a.
#include "agent/reports/designer/PreviewPane.h"
#include "agent/reports/designer/ReportDesigner.h"

#include "agent/reports/engine/Report.h"

#include <QApplication>
#include <QDir>

#include <cstdio>

using namespace verolux::reports;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: designer-screenshots OUTDIR [SOURCE_DIR]\n");
        return 2;
    }
    const QDir out(args[1]);
    QDir().mkpath(out.path());
    const QString source = args.size() > 2 ? args[2] : QStringLiteral(VEROLUX_SOURCE_DIR);
    int failures = 0;
    for (const char* name : {"orders", "invoice", "labels"}) {
        const QString n = QString::fromLatin1(name);
        Report report;
        if (!report.LoadTemplate(source + QStringLiteral("/demo/templates/") + n + QStringLiteral(".grf"))) {
            std::fprintf(stderr, "%s: %s\n", name, report.lastError().toUtf8().constData());
            ++failures;
            continue;
        }
        ReportDesigner designer;
        designer.setWindowTitle(n + QStringLiteral(".grf - 报表设计器"));
        designer.resize(1400, 900);
        designer.BindReport(&report);
        designer.ReloadDesign();
        designer.show();
        QApplication::processEvents();
        // Select items of the detail band, as a user would before editing them: one on the invoice
        // (its handles and the whole form show), the first three elsewhere (shared values only).
        auto& doc = designer.document();
        std::vector<design::ItemRef> sel;
        const int count =
            std::min<int>(n == QStringLiteral("invoice") ? 1 : 3, int(doc.tmpl().detail.items.size()));
        for (int i = 0; i < count; ++i)
            sel.push_back({design::BandRef{design::BandSlot::Detail}, i});
        designer.select(sel);
        designer.preview()->refreshNow(); // rather than waiting for its delay after an edit
        QApplication::processEvents();
        const QString file = out.filePath(QStringLiteral("designer-") + n + QStringLiteral(".png"));
        if (!designer.grab().save(file)) {
            std::fprintf(stderr, "%s: cannot write %s\n", name, file.toUtf8().constData());
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
