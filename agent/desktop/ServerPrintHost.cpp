#include "agent/desktop/ServerPrintHost.h"

#include "agent/desktop/FreedMemory.h"
#include "agent/desktop/frmServer.h"
#include "agent/reports/windows/frmDesign.h"
#include "agent/reports/windows/frmPdfFile.h"
#include "agent/reports/windows/frmPreview.h"
#include "common/Http.h"

#include <QScopeGuard>

namespace verolux {
namespace {

// A request text from this size on leaves enough behind to be worth handing back.
constexpr std::size_t kLargeRequestBytes = 256 * 1024;

} // namespace

ServerPrintHost::ServerPrintHost(frmServer& window)
    : m_window(window), m_store(
                            TemplateFolder(window.programFolder()), window.settings(),
                            [this](std::string_view line) { AddLog(line); },
                            [](const std::string& url, const std::filesystem::path& path) {
                                return DownloadToFile(url, path, kMaxTemplateBytes);
                            }) {}

ServerPrintHost::~ServerPrintHost() {
    delete m_designer.data();
}

void ServerPrintHost::Run(std::string text) {
    const bool large = text.size() >= kLargeRequestBytes;
    RepPrint(*this, m_store, std::move(text));
    if (large) ReturnFreedMemory();
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
        m_designer = new frmDesign(m_window.programFolder());
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
    // An output window has done all it will do when Show() returns: it and its report go right
    // then, not at a later turn of the event loop, so a burst of large jobs does not pile up.
    // The window may already be gone if the agent ended while it let events run.
    QPointer<frmPdfFile> w = new frmPdfFile(m_window.programFolder());
    const auto release = qScopeGuard([&w] { delete w.data(); });
    w->reportFileData = reportFileData;
    w->reportPreview = reportPreview;
    w->Show();
}

} // namespace verolux
