// spool_tool: the Windows print path as the agent uses it, one call per run, for test_spool.py under
// Wine. Prints one result line, or exits 1 with the reason on stderr ("[code] message" for typed ones).
//   list: "printer NAME default=0|1 state=N ...", then its "paper NAME WxH" and "tray KEY" lines
//   pages TEMPLATE REQUEST: "pages N" (nothing printed)
//   report PRINTER TEMPLATE REQUEST TITLE [--pages R] [--copies N] [--gray] [--reverse]
//          [--uncollated] [--offset X,Y] [--pdf OUT.pdf]: "job J pages N ms T" (--pdf: the report
//          exported too; --offset: the printer's calibration, as [PrinterOffset] gives it)
//   raw PRINTER FILE TITLE: "job J"
//   document PRINTER FILE TYPE TITLE [none|fit|fill] [--offset X,Y]: "job J"
//   cancel PRINTER: a job opened, asked about, cancelled: "open STATE cancelled STATE"
//   query JOB: "STATE,REASON..."
#include "agent/printing/PrinterOffset.h"
#include "agent/reports/cups/CupsError.h"
#include "agent/reports/cups/CupsJob.h"
#include "agent/reports/cups/CupsPrinters.h"
#include "agent/reports/cups/CupsRawJob.h"
#include "agent/reports/cups/GdiJob_windows.h"
#include "agent/reports/engine/PdfExport.h"
#include "agent/reports/engine/Printing.h"
#include "agent/reports/engine/Report.h"
#include "tests/reports/printing/FillFromRequest.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>

using namespace verolux;
using namespace verolux::reports;

namespace {

int Fail(const std::string& why) {
    std::fprintf(stderr, "spool_tool: %s\n", why.c_str());
    return 1;
}

// "[no-such-printer] printer "X" does not exist"
int Fail(const cups::PrintError& e) {
    static const char* const codes[] = {"scheduler-down", "no-such-printer", "no-default-printer", "refused",
                                        "failed"};
    return Fail("[" + std::string(codes[int(e.code)]) + "] " + e.message);
}

std::string ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

int List() {
    std::vector<cups::PrinterInfo> printers;
    std::string error;
    if (!cups::ListPrinters(&printers, &error)) return Fail(error);
    for (const cups::PrinterInfo& p : printers) {
        std::printf("printer %s default=%d state=%d accepting=%d color=%d duplex=%d\n", p.name.c_str(),
                    int(p.isDefault), int(p.state), int(p.acceptingJobs), int(p.color), int(p.duplex));
        for (const cups::MediaSize& m : p.media)
            std::printf("paper %s %gx%g\n", m.name.c_str(), m.widthMm, m.heightMm);
        for (const cups::Tray& t : p.trays)
            std::printf("tray %s\n", t.name.c_str());
    }
    return 0;
}

const char* StateName(cups::JobState s) {
    static const char* const names[] = {"pending",   "held",    "processing", "stopped",
                                        "cancelled", "aborted", "completed"};
    return names[int(s)];
}

std::string Described(int jobId) {
    cups::JobStatus status;
    std::string error;
    if (!cups::QueryJob(jobId, &status, &error)) return "unknown(" + error + ")";
    std::string out = StateName(status.state);
    for (const std::string& r : status.reasons)
        out += "," + r;
    return out;
}

int Report_(const QStringList& a) {
    Report report;
    const QString error = testfill::LoadAndFill(report, a[2], a[3]);
    if (!error.isEmpty()) return Fail(error.toStdString());
    report.ReportTitle(a[4]);
    PrintOptions options;
    for (int i = 5; i < a.size(); ++i) {
        if (a[i] == QLatin1String("--pages") && i + 1 < a.size()) options.pageRanges = a[++i];
        if (a[i] == QLatin1String("--copies") && i + 1 < a.size()) options.copies = a[++i].toInt();
        if (a[i] == QLatin1String("--gray")) options.grayscale = true;
        if (a[i] == QLatin1String("--reverse")) options.reverse = true;
        if (a[i] == QLatin1String("--uncollated")) options.collate = false;
        if (a[i] == QLatin1String("--offset") && i + 1 < a.size()) {
            const auto offset = ParseOffset(a[++i].toStdString());
            if (!offset) return Fail("bad offset " + a[i].toStdString());
            options.offsetXMm = offset->xMm();
            options.offsetYMm = offset->yMm();
        }
        if (a[i] == QLatin1String("--pdf") && i + 1 < a.size()) {
            QString why;
            if (!WritePdf(report, a[++i], &why)) return Fail(why.toStdString());
        }
    }
    const int pages = report.pageCount();
    QElapsedTimer timer;
    timer.start();
    cups::PrintError why;
    const int job = PrintReportTo(report, a[1], options, &why);
    if (job <= 0) return Fail(why);
    std::printf("job %d pages %d ms %lld\n", job, pages, static_cast<long long>(timer.elapsed()));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // Qt's platform from the environment does not reach a program under Wine; set it here. The windows
    // platform needs no display for printing, and its fonts are the system's (offscreen has none there).
    qputenv("QT_QPA_PLATFORM",
            qEnvironmentVariable("SPOOL_TOOL_PLATFORM", QStringLiteral("windows")).toUtf8());
    QGuiApplication app(argc, argv);
    const QStringList a = app.arguments().mid(1);
    const QString command = a.value(0);
    std::string error;
    cups::PrintError failure;
    if (command == QLatin1String("list")) return List();
    if (command == QLatin1String("pages") && a.size() == 3) {
        Report report;
        const QString why = testfill::LoadAndFill(report, a[1], a[2]);
        if (!why.isEmpty()) return Fail(why.toStdString());
        std::printf("pages %d\n", report.pageCount());
        return 0;
    }
    if (command == QLatin1String("report") && a.size() >= 5) return Report_(a);
    if (command == QLatin1String("raw") && a.size() == 4) {
        int job = 0;
        if (!cups::SendRawJob(a[1].toStdString(), a[3].toStdString(), ReadAll(a[2]), &job, &failure))
            return Fail(failure);
        std::printf("job %d\n", job);
        return 0;
    }
    if (command == QLatin1String("document") && a.size() >= 5) {
        cups::JobOptions o;
        if (a.value(6) == QLatin1String("--offset")) {
            const auto offset = ParseOffset(a.value(7).toStdString());
            if (!offset) return Fail("bad offset " + a.value(7).toStdString());
            o.offsetXMm = offset->xMm();
            o.offsetYMm = offset->yMm();
        }
        const QString scaling = a.value(5);
        const cups::Scaling s = scaling == QLatin1String("none")   ? cups::Scaling::None
                                : scaling == QLatin1String("fit")  ? cups::Scaling::Fit
                                : scaling == QLatin1String("fill") ? cups::Scaling::Fill
                                                                   : cups::Scaling::Printer;
        int job = 0;
        if (!cups::SendDocumentJob(a[1].toStdString(), a[4].toStdString(), a[3].toUtf8().constData(),
                                   ReadAll(a[2]), cups::DocumentOptionList(o, s, false), &job, &error))
            return Fail(error);
        std::printf("job %d\n", job);
        return 0;
    }
    if (command == QLatin1String("cancel") && a.size() == 2) {
        cups::win::GdiJob job;
        if (!job.open(a[1].toStdString(), "spool_tool cancel", {}, &error)) return Fail(error);
        const std::string open = Described(job.jobId());
        if (!cups::CancelJob(job.jobId(), &error)) return Fail(error);
        std::printf("open %s cancelled %s\n", open.c_str(), Described(job.jobId()).c_str());
        return 0;
    }
    if (command == QLatin1String("query") && a.size() == 2) {
        std::printf("%s\n", Described(a[1].toInt()).c_str());
        return 0;
    }
    return Fail("usage: see the top of spool_tool.cpp");
}
