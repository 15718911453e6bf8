#include "agent/desktop/ServerPrintHost.h"

#include "agent/desktop/frmServer.h"
#include "agent/reports/windows/frmDesign.h"
#include "agent/reports/windows/frmPdfFile.h"
#include "agent/reports/windows/frmPreview.h"
#include "common/Http.h"

namespace verolux {

ServerPrintHost::ServerPrintHost(frmServer& window)
    : m_window(window), m_store(
                            TemplateFolder(window.programFolder()), window.settings(),
                            [this](std::string_view line) { AddLog(line); },
                            [](const std::string& url, const std::filesystem::path& path) {
                                return DownloadToFile(url, path);
                            }) {}

ServerPrintHost::~ServerPrintHost() {
    delete m_designer.data();
}

void ServerPrintHost::Run(std::string text) {
    RepPrint(*this, m_store, std::move(text));
}

void ServerPrintHost::AddLog(std::string_view line) {
    m_window.AddLog(QString::fromUtf8(line.data(), qsizetype(line.size())));
}

void ServerPrintHost::WriteLog(std::string_view line) {
    m_window.WriteLog(std::string(line));
}

void ServerPrintHost::Reply(std::string_view text) {
    m_window.Reply(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

std::string ServerPrintHost::ReadRequestFile() {
    return m_window.ReadTextFile(m_window.programFolder() / "repdata.txt").toStdString();
}

void ServerPrintHost::OpenDesigner(const DesignHandOver& h) {
    if (!m_designer) {
        m_designer = new frmDesign();
        m_designer->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_designer->reportFileName = h.reportFileName;
    m_designer->reportId = h.reportId;
    m_designer->reportAdd = h.reportAdd;
    m_designer->reportDownurl = h.reportDownurl;
    m_designer->Show();
}

void ServerPrintHost::OpenPreview(const std::string& reportFileData, const std::string& reportPreview) {
    auto* w = new frmPreview(m_window.programFolder());
    w->reportFileData = reportFileData;
    w->reportPreview = reportPreview;
    w->Show(); // stays until the user closes it; then it releases itself
}

void ServerPrintHost::OpenOutput(const std::string& reportFileData, const std::string& reportPreview) {
    // An output window has done all it will do when Show() returns: release it and its report
    // object then, so an agent running for weeks does not grow with every print.
    QPointer<frmPdfFile> w = new frmPdfFile(m_window.programFolder());
    w->reportFileData = reportFileData;
    w->reportPreview = reportPreview;
    try {
        w->Show();
    } catch (...) {
        if (w) w->deleteLater();
        throw;
    }
    if (w) w->deleteLater();
}

} // namespace verolux
