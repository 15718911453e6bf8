#include "agent/reports/windows/ReportWindow.h"

#include "agent/printing/PrinterOffset.h"
#include "agent/printing/TemplateStore.h"
#include "agent/reports/cups/CupsError.h"
#include "agent/reports/cups/CupsPrinters.h"
#include "agent/reports/cups/MediaChoice.h"
#include "agent/reports/engine/RequestFill.h"
#include "common/Ini.h"
#include "common/LogFile.h"
#include "common/SafeNames.h"

#include <QVBoxLayout>

namespace verolux {

void LoadingFailure(const char* code, const QString& message) {
    throw JobError(code, message.toStdString());
}

reports::PrintOptions WithJobOptions(reports::PrintOptions print, const JobOptions& job) {
    print.copies = job.copies;
    if (job.duplex == Duplex::None) print.sides = cups::Sides::OneSided;
    if (job.duplex == Duplex::Long) print.sides = cups::Sides::TwoSidedLongEdge;
    if (job.duplex == Duplex::Short) print.sides = cups::Sides::TwoSidedShortEdge;
    if (!job.pages.empty()) print.pageRanges = QString::fromStdString(job.pages);
    return print;
}

ReportWindow::ReportWindow(std::filesystem::path programFolder) : m_programFolder(std::move(programFolder)) {
    setWindowTitle(QStringLiteral("报表预览"));
    resize(900, 700);
    ReportViewer1 = new reports::ReportViewer(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0); // the viewer covers the client area
    layout->addWidget(ReportViewer1);
}

ReportWindow::~ReportWindow() = default;

void ReportWindow::Report_ExportBegin(reports::ExportOptions*) {
    // The export options stay as the engine set them.
}

OutputResult ReportWindow::RunLoadingSteps(const JobOptions& options) {
    // 2. The request, read again from its text: every window owns its copy.
    const PrintRequest request = PrintRequest::Read(reportFileData);
    m_repname = request.repname;
    m_reporturl = request.reporturl;

    // 3. The window's own report object and the template the store has put in place.
    if (!IsPlainFileName(request.repname))
        LoadingFailure(failure::kBadRequest,
                       QStringLiteral("报表文件名无效: ") + QString::fromStdString(request.repname));
    m_report = std::make_unique<reports::Report>();
    connect(m_report.get(), &reports::Report::ExportBegin, this, &ReportWindow::Report_ExportBegin);
    const std::filesystem::path templatePath = TemplateFolder(m_programFolder) / request.repname;
    // A template that does not load is a failure: an empty report must not be printed or uploaded
    // as if it were the one asked for.
    if (!m_report->LoadTemplate(QString::fromStdString(templatePath.string())))
        LoadingFailure(failure::kTemplateInvalid, m_report->lastError());
    // What loads but prints nothing (an expression that cannot be read) goes to the log; the job goes on.
    LogWarnings(request, "模板警告：", m_report->loadWarnings());

    // 4.-6. and the title of 8.
    reports::FillFromRequest(*m_report, request.document());

    // 7. No events run here: a request arriving now waits in the agent's queue for this one to end.

    // 8.
    if (!request.reprintname.empty()) m_report->PrinterName(QString::fromStdString(request.reprintname));

    // 9.-10. Nothing is shown before the output is ready: the preview appears once, maximised and
    // filled; the output window works unseen.
    return output(request, options);
}

// One log line per warning, after the request's template and address; a log that cannot be written does
// not stop the print.
void ReportWindow::LogWarnings(const PrintRequest& request, const char* kind,
                               const QStringList& warnings) const {
    if (warnings.isEmpty()) return;
    try {
        const LogFile log(m_programFolder);
        for (const QString& w : warnings)
            log.WriteLog(request.repname + "   " + request.reporturl + "\r" + kind + w.toStdString());
    } catch (...) {
    }
}

OutputResult ReportWindow::output(const PrintRequest& request, const JobOptions& options) {
    if (request.preview == "1") {
        setWindowTitle(QStringLiteral("报表预览-") + QString::fromStdString(request.repname));
        ReportViewer1->SetSetting(145, 2);
        ReportViewer1->CallOperation(63, 1);
        ReportViewer1->CallOperation(63, 19);
        ReportViewer1->CallOperation(67);
        ReportViewer1->BindReport(m_report.get());
        ReportViewer1->StartPreview();
        showMaximized();
        return {};
    }
    if (request.preview == "2") {
        // reportId names a file in the template folder: only a plain name may do that.
        const std::string pdfName = request.reportId + ".pdf";
        if (request.reportId.empty() || !IsPlainFileName(pdfName))
            LoadingFailure(failure::kBadRequest, QStringLiteral("reportId 不能作为文件名: ") +
                                                     QString::fromStdString(request.reportId));
        const std::filesystem::path pdfPath = TemplateFolder(m_programFolder) / pdfName;
        if (!m_report->ExportToFile(reports::Report::kExportPdf, QString::fromStdString(pdfPath.string()), 0,
                                    0))
            LoadingFailure(failure::kExportFailed, m_report->lastError());
        LogWarnings(request, "计算警告：", m_report->warnings());
        // The upload is the print procedure's next step; it need not keep the window waiting.
        return {0, 0, PdfUpload{pdfPath, request.reportAdd, request.reportId}};
    }
    // Which printer, if any, decides the code a followed job fails with; nothing prints elsewhere.
    const std::string printer = m_report->effectivePrinterName().toStdString();
    std::string queue, error;
    if (!cups::ResolvePrinter(printer, &queue, &error))
        LoadingFailure(error == cups::kSchedulerDown ? failure::kPrintFailed
                       : printer.empty()             ? failure::kNoDefaultPrinter
                                                     : failure::kPrinterNotFound,
                       QString::fromStdString(error));
    reports::PrintOptions print = WithJobOptions(m_report->printOptions(), options);
    if (!options.tray.empty() || !options.paper.empty()) {
        // Checked against what the printer offers before anything is sent: a wrong tray prints nothing.
        cups::PrinterInfo info;
        if (!cups::QueryPrinter(queue, &info, &error))
            LoadingFailure(failure::kPrintFailed, QString::fromStdString(error));
        cups::AddDisplayNames(info);
        const cups::MediaDecision media = cups::DecideMedia(
            info, {options.tray, options.paper.name, options.paper.widthMm, options.paper.heightMm});
        if (!media.error.empty()) LoadingFailure(failure::kBadRequest, QString::fromStdString(media.error));
        print.media = media.media;
        print.mediaSource = media.mediaSource;
    }
    // The printer's calibration moves every page it prints.
    if (const auto offset = ParseOffset(mINI::Settings(m_programFolder).ReadIni(kOffsetSection, queue))) {
        print.offsetXMm = offset->xMm();
        print.offsetYMm = offset->yMm();
    }
    m_report->setPrintOptions(print);
    if (!m_report->PrintDirect(3, 0)) LoadingFailure(failure::kPrintFailed, m_report->lastError());
    LogWarnings(request, "计算警告：", m_report->warnings());
    return {m_report->lastJobId(), 0, std::nullopt};
}

} // namespace verolux
