// verolux-render [--dump] [--timing] TEMPLATE REQUEST.json OUT.pdf
//
// Parameters come from the request's top-level keys named like the template's parameters, rows from
// `repdata` (at most 32,767), each value by the request value rules (strings unchanged, numbers as
// their shortest decimal text, booleans, null or missing as empty).
#include "agent/reports/engine/Report.h"
#include "agent/reports/layout/PageLayout.h"
#include "common/JsonReader.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>

using namespace verolux;
using namespace verolux::reports;

namespace {

constexpr std::size_t kMaxRows = 32767; // the row count is a 16-bit signed number in the windows

int usage() {
    std::fprintf(stderr, "usage: verolux-render [--dump] [--timing] TEMPLATE REQUEST.json OUT.pdf\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    // A command-line tool: no display needed, fonts come from fontconfig.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    bool dump = false, timing = false;
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QStringLiteral("--dump"))
            dump = true;
        else if (a == QStringLiteral("--timing"))
            timing = true;
        else
            args << a;
    }
    if (args.size() != 3) return usage();

    QElapsedTimer clock;
    clock.start();
    Report report;
    if (!report.LoadTemplate(args[0])) {
        std::fprintf(stderr, "verolux-render: %s\n", report.lastError().toUtf8().constData());
        return 1;
    }

    QFile requestFile(args[1]);
    if (!requestFile.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "verolux-render: %s: %s\n", args[1].toUtf8().constData(),
                     requestFile.errorString().toUtf8().constData());
        return 1;
    }
    const QByteArray requestText = requestFile.readAll();
    try {
        JsonDocument doc =
            JsonDocument::Parse(std::string_view(requestText.constData(), size_t(requestText.size())));
        JsonValue root = doc.root();
        for (int i = 1; i <= report.Parameters().count(); ++i) {
            ReportValue& p = report.Parameters().item(i);
            p.setValue(root.value(p.name()));
        }
        report.PrepareRecords();
        JsonValue rows = doc.requiredArray("repdata", kMaxRows);
        const int fields = report.Fields().count();
        for (std::size_t m = 0; m < rows.size(); ++m) {
            JsonValue row = rows.element(m);
            report.AppendRecord();
            for (int j = 1; j <= fields; ++j) {
                ReportValue& f = report.Fields().item(j);
                f.setValue(row.value(f.name()));
            }
            report.PostRecord();
        }
        ScalarValue title = root.value("repname");
        if (!title.text.empty()) report.ReportTitle(QString::fromStdString(title.text));
    } catch (const JsonError& e) {
        std::fprintf(stderr, "verolux-render: %s: %s\n", args[1].toUtf8().constData(), e.what());
        return 1;
    }
    const qint64 filled = clock.elapsed();

    const int pages = report.pageCount();
    const qint64 laidOut = clock.elapsed();
    if (dump) std::fputs(DescribePages(report.layout()).c_str(), stdout);

    if (!report.ExportToFile(Report::kExportPdf, args[2], 0, 0)) {
        std::fprintf(stderr, "verolux-render: %s\n", report.lastError().toUtf8().constData());
        return 1;
    }
    if (timing)
        std::fprintf(stderr, "rows %d, pages %d: fill %lld ms, layout %lld ms, pdf %lld ms, total %lld ms\n",
                     report.recordCount(), pages, filled, laidOut - filled, clock.elapsed() - laidOut,
                     clock.elapsed());
    return 0;
}
