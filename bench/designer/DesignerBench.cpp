// The designer's three waits a user feels, on this machine (offscreen raster, like a window's backing store):
//   open   a template with 2,000 items, from LoadTemplate until the page is painted the first time;
//   move   one mouse-move step while dragging a 100-item selection (median of 60 steps);
//   preview the live preview after an edit, 200 made-up rows: laid out again and its first page painted.
// Prints each figure against its target. Run: bench_designer (QT_QPA_PLATFORM=offscreen is set if unset).
#include "agent/reports/design/ItemEdits.h"
#include "agent/reports/design/StructureEdits.h"
#include "agent/reports/designer/DesignCanvas.h"
#include "agent/reports/designer/PreviewPane.h"
#include "agent/reports/designer/ReportDesigner.h"
#include "agent/reports/engine/Report.h"
#include "agent/reports/model/TemplateFile.h"
#include "agent/reports/viewer/PageView.h"
#include "agent/reports/viewer/ReportViewer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace verolux::reports;

namespace {

// A dense form: 2,000 small text items over five bands (a page header of labels, a tall detail band of
// 1,600 cells in a grid, footers), with a few styles and references, as a busy business form has them.
Template BigTemplate() {
    Template t;
    for (const char* name : {"label", "cell", "money"}) {
        TextStyle s = t.styles[0];
        s.name = name;
        s.own = 0;
        t.styles.push_back(s);
    }
    t.styles[2].borders.left = t.styles[2].borders.top = t.styles[2].borders.right =
        t.styles[2].borders.bottom = true;
    t.styles[2].own = kStyleBorderSides;
    t.styles[3].hAlign = HAlign::Right;
    t.styles[3].format = "#,##0.00";
    t.styles[3].own = kStyleAlign | kStyleFormat;
    for (int f = 0; f < 20; ++f)
        t.fields.push_back(Declared{"f" + std::to_string(f), f % 3 ? "text" : "currency", "", "", {}});
    auto fill = [&](Band& band, int rows, int cols, double h, int style, bool refs) {
        band.present = true;
        band.height = rows * h;
        const double w = 180.0 / cols;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) {
                Item it;
                it.x = c * w;
                it.y = r * h;
                it.w = w;
                it.h = h;
                it.style = style;
                it.text = refs ? "{f" + std::to_string((r * cols + c) % 20) + "}"
                               : "标签 " + std::to_string(r * cols + c);
                band.items.push_back(it);
            }
    };
    fill(t.pageHeader, 10, 20, 4, 1, false); // 200
    fill(t.detail, 80, 20, 3, 2, true);      // 1,600
    fill(t.reportFooter, 5, 20, 4, 3, true); // 100
    fill(t.pageFooter, 5, 20, 4, 1, false);  // 100
    t.page.marginTop = t.page.marginBottom = 5;
    t.page.paper = "A3";
    t.page.width = 297;
    t.page.height = 420;
    t.page.marginLeft = t.page.marginRight = 15;
    return t;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void PrintFigure(const char* what, double ms, double target) {
    std::printf("%-40s %8.1f ms   (target <= %.0f ms)%s\n", what, ms, target, ms <= target ? "" : "   OVER");
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.grf"));
    {
        const std::string json = WriteTemplate(BigTemplate());
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(json.data(), qint64(json.size()));
    }

    ReportDesigner designer;
    designer.resize(1600, 1000);
    designer.show();
    QApplication::processEvents();

    // --- open until the first paint ---
    std::vector<double> opens;
    for (int run = 0; run < 5; ++run) {
        Report report;
        QElapsedTimer t;
        t.start();
        report.LoadTemplate(path);
        designer.BindReport(&report);
        designer.ReloadDesign();
        designer.canvas()->paintNow();
        opens.push_back(t.nsecsElapsed() / 1e6);
        designer.BindReport(nullptr);
    }
    Report report;
    report.LoadTemplate(path);
    designer.BindReport(&report);
    designer.ReloadDesign();
    designer.canvas()->setZoom(1.0);
    designer.canvas()->paintNow();

    // --- one move step of a 100-item selection ---
    std::vector<design::ItemRef> sel;
    for (int i = 0; i < 100; ++i)
        sel.push_back({design::BandRef{design::BandSlot::Detail}, i});
    designer.select(sel);
    DesignCanvas* canvas = designer.canvas();
    const auto* band = canvas->layout().find({design::BandSlot::Detail});
    const QPoint from = canvas->toView(canvas->layout().left + 2, band->top + 1).toPoint();
    QWidget* vp = canvas->viewport();
    QMouseEvent press(QEvent::MouseButtonPress, from, vp->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton,
                      {});
    QApplication::sendEvent(vp, &press);
    std::vector<double> steps;
    for (int i = 1; i <= 61; ++i) {
        const QPoint p = from + QPoint(i * 3, i % 7);
        QElapsedTimer t;
        t.start();
        QMouseEvent move(QEvent::MouseMove, p, vp->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(vp, &move);
        canvas->paintNow();
        if (i > 1) steps.push_back(t.nsecsElapsed() / 1e6); // the first step also paints the backdrop
    }
    QMouseEvent release(QEvent::MouseButtonRelease, from, vp->mapToGlobal(from), Qt::LeftButton, Qt::NoButton,
                        {});
    QApplication::sendEvent(vp, &release);

    // --- preview after an edit, 200 made-up rows ---
    Report orders;
    orders.LoadTemplate(QStringLiteral(VEROLUX_SOURCE_DIR "/demo/templates/orders.grf"));
    designer.BindReport(&orders);
    designer.ReloadDesign();
    designer.setPreviewVisible(true);
    PreviewPane* preview = designer.preview();
    preview->refreshNow();
    std::vector<double> previews;
    for (int run = 0; run < 10; ++run) {
        design::SetBandHeight(designer.document(), {design::BandSlot::Detail}, 6 + (run % 2));
        QElapsedTimer t;
        t.start();
        preview->refreshNow();
        preview->viewer()->pageView()->viewport()->repaint();
        previews.push_back(t.nsecsElapsed() / 1e6);
    }

    std::printf("designer benchmark (offscreen, %d items in the big template)\n", 2000);
    PrintFigure("open 2,000 items until the first paint", Median(opens), 300);
    PrintFigure("move step, 100 items selected (median)", Median(steps), 16);
    PrintFigure("preview after an edit, 200 rows", Median(previews), 150);
    return 0;
}
