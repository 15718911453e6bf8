// designer-screenshots OUTDIR [SOURCE_DIR]
//
// Shows the designer with each sample template, a few items selected, and saves designer-<name>.png
// in OUTDIR. Run under a display: xvfb-run -a.
#include "agent/reports/designer/PreviewPane.h"
#include "agent/reports/designer/ReportDesigner.h"

#include "agent/reports/engine/Report.h"

#include "tools/screenshots/SampleShots.h"

#include <QApplication>

using namespace verolux::reports;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    auto shots = verolux::tools::SampleShots::FromArguments(app.arguments(), "designer-screenshots",
                                                            QStringLiteral(VEROLUX_SOURCE_DIR));
    if (!shots) return 2;
    for (const char* name : verolux::tools::kSamples) {
        const QString n = QString::fromLatin1(name);
        Report report;
        if (!report.LoadTemplate(shots->sample("templates", n, ".grf"))) {
            shots->fail(name, report.lastError());
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
        shots->save(designer, QStringLiteral("designer-") + n + QStringLiteral(".png"), name);
    }
    return shots->exitCode();
}
