#include "agent/startup/AgentSetup.h"

#include "agent/desktop/ServerPrintHost.h"
#include "agent/desktop/frmServer.h"
#include "agent/printing/TemplateStore.h"
#include "common/CheckUpdate.h"
#include "common/TextFile.h"

#include <memory>

namespace verolux {

void CheckLauncherUpdate(const mINI::Settings& settings, const std::filesystem::path& programFolder) {
    const std::string shellVer = settings.ReadIni("AppInfo", "ShellVer");
    mINI::CheckUpdate(settings, programFolder, "ShellVer", mINI::kKindLauncher, shellVer);
}

void RemoveStaleTemporaryFiles(const std::filesystem::path& programFolder) {
    RemoveStaleTemporaries(programFolder);
    RemoveStaleTemporaries(TemplateFolder(programFolder));
}

void InstallPrintProcedure(frmServer& window) {
    auto host = std::make_shared<ServerPrintHost>(window);
    window.setPrintProcedure([host](frmServer&, std::string text) { host->Run(std::move(text)); });
}

} // namespace verolux
