// designer-screenshots OUTDIR [SOURCE_DIR]
//
// Shows the designer with each sample template, a few items selected, and saves designer-<name>.png
// in OUTDIR; then the expression editor on the order list's amount (designer-expression-editor.png,
// and with an error: designer-expression-error.png) and the checks list of an order list with faults
// (designer-checks.png), an item's conditional formatting (designer-rules.png) and the finished order
// list (designer-order-list.png). Run under a display: xvfb-run -a.
#include "agent/reports/designer/ExpressionEditor.h"
#include "agent/reports/designer/Inspector.h"
#include "agent/reports/designer/PreviewPane.h"
#include "agent/reports/designer/ReportDesigner.h"

#include "agent/reports/engine/Report.h"

#include "tools/screenshots/SampleShots.h"

#include <QApplication>
#include <QPlainTextEdit>

using namespace verolux::reports;

namespace {

const design::BandRef kDetail{design::BandSlot::Detail};

void expressionShots(verolux::tools::SampleShots& shots) {
    const QString requests = shots.sample("requests", QStringLiteral("orders"), ".json");
    Report report;
    if (!report.LoadTemplate(shots.sample("templates", QStringLiteral("orders"), ".grf"))) {
        shots.fail("expressions", report.lastError());
        return;
    }
    ReportDesigner designer;
    designer.setWindowTitle(QStringLiteral("orders.grf - 报表设计器"));
    designer.resize(1400, 900);
    designer.BindReport(&report);
    designer.ReloadDesign();
    designer.loadPreviewData(requests, nullptr);
    designer.show();
    designer.select({{kDetail, 6}});
    designer.openExpressionEditor();
    ExpressionEditor* editor = designer.expressionEditor();
    if (!editor) {
        shots.fail("expressions", QStringLiteral("no expression editor"));
        return;
    }
    auto* text = editor->findChild<QPlainTextEdit*>(QStringLiteral("expressionText"));
    text->setPlainText(QStringLiteral(
        "{if(quantity*price >= 10000, \"大额 \", \"\")}{round(quantity*price*1.13, 2)|#,##0.00}"));
    text->moveCursor(QTextCursor::End);
    QApplication::processEvents();
    shots.save(*editor, QStringLiteral("designer-expression-editor.png"), "expression editor");
    text->setPlainText(QStringLiteral("{round(quantity*price*1.13, 2} 元"));
    QApplication::processEvents();
    shots.save(*editor, QStringLiteral("designer-expression-error.png"), "expression error");
    editor->reject();

    // An order list with the faults the checks find: price typed as text but multiplied, an expression
    // that cannot be read, a name that is not declared.
    Template faulty = report.reportTemplate();
    faulty.fields[5].type = "text";
    faulty.detail.items[6].text = "{quantity*price}";
    faulty.detail.items[4].text = "{round(quantity, }";
    faulty.detail.items[3].text = "{product & prodcut_no}";
    report.setTemplate(faulty);
    designer.ReloadDesign();
    designer.setChecksVisible(true);
    designer.select({{kDetail, 6}});
    designer.preview()->refreshNow();
    QApplication::processEvents();
    shots.save(designer, QStringLiteral("designer-checks.png"), "checks");

    // Conditional formatting: large amounts in the total style, empty customers hidden; the page shows
    // the first request row (21,712.00) as it prints.
    Template ruled = report.reportTemplate();
    ruled.fields[5].type = "currency";
    ruled.detail.items[4].text = "{quantity}";
    ruled.detail.items[3].text = "{product}";
    ruled.detail.items[6].text = "{quantity*price}";
    ruled.detail.items[6].rules = {{"quantity*price >= 10000", "total", true, {}},
                                   {"isempty(customer)", "", false, {}}};
    report.setTemplate(ruled);
    designer.ReloadDesign();
    designer.setChecksVisible(false);
    designer.select({{kDetail, 6}});
    designer.preview()->refreshNow();
    QApplication::processEvents();
    if (auto* add = designer.inspector()->findChild<QWidget*>(QStringLiteral("addRule")))
        designer.inspector()->ensureWidgetVisible(add);
    QApplication::processEvents();
    shots.save(designer, QStringLiteral("designer-rules.png"), "rules");

    // The finished order list: amount = quantity × price, every sum over it (customer groups, page,
    // report), price a decimal; the preview with the request's rows.
    Template finished = report.reportTemplate();
    finished.fields[5].type = "decimal";
    finished.detail.items[6].rules.clear();
    auto rewrite = [](Band& band) {
        for (Item& it : band.items)
            for (size_t at; (at = it.text.find("amount")) != std::string::npos;)
                it.text.replace(at, 6, "quantity*price");
    };
    rewrite(finished.detail);
    rewrite(finished.reportFooter);
    rewrite(finished.pageFooter);
    for (Group& g : finished.groups)
        rewrite(g.footer);
    report.setTemplate(finished);
    designer.ReloadDesign();
    designer.select({});
    designer.preview()->refreshNow();
    QApplication::processEvents();
    shots.save(designer, QStringLiteral("designer-order-list.png"), "order list");
}

} // namespace

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
    expressionShots(*shots);
    return shots->exitCode();
}
