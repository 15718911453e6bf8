#include "agent/startup/AgentSetup.h"

#include "agent/desktop/ServerPrintHost.h"
#include "agent/desktop/frmServer.h"

#include <memory>

namespace verolux {

std::string DefaultWebsUrl() { return "https://print.verolux.app"; }

void CheckLauncherUpdate(const mINI::Settings&, const std::filesystem::path&) {}

void InstallPrintProcedure(frmServer& window)
{
    auto host = std::make_shared<ServerPrintHost>(window);
    window.setPrintProcedure([host](frmServer&, std::string text) { host->Run(std::move(text)); });
}

} // namespace verolux
