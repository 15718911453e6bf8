// verolux-render [--dump] [--timing] TEMPLATE REQUEST.json OUT.pdf
//
// Fills the template from the request as the agent's report windows do (FillFromRequest) and writes
// the PDF.
#include "agent/reports/engine/ProgramFonts.h"
#include "agent/reports/engine/Report.h"
#include "agent/reports/engine/RequestFill.h"
#include "agent/reports/layout/PageLayout.h"
#include "common/JsonReader.h"
#include "common/Version.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>
#include <cstring>

using namespace verolux;
using namespace verolux::reports;

namespace {

constexpr const char* kUsage = "usage: verolux-render [--dump] [--timing] TEMPLATE REQUEST.json OUT.pdf\n";

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

int help() {
    std::fputs(kUsage, stdout);
    std::fputs("\nFills the template with the parameters and rows of a print request (JSON, as a web page\n"
               "sends it to the agent) and writes the report as a PDF file.\n\n"
               "  --dump     print the pages' layout\n"
               "  --timing   print the time taken by each step on stderr\n"
               "  --help     show this text\n"
               "  --version  show the version\n",
               stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) return help();
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("verolux-render %s\n", VersionText().c_str());
            return 0;
        }
    }
    // A command-line tool: no display needed, fonts come from fontconfig (on Windows: the shipped ones).
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    AddProgramFonts();

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
        FillFromRequest(report, JsonDocument::Parse(
                                    std::string_view(requestText.constData(), size_t(requestText.size()))));
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
