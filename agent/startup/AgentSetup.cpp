#include "agent/startup/AgentSetup.h"

#include "agent/desktop/frmServer.h"

namespace verolux {

std::string DefaultWebsUrl() { return "https://print.verolux.app"; }

void CheckLauncherUpdate(const mINI::Settings&, const std::filesystem::path&) {}

void InstallPrintProcedure(frmServer&) {}

} // namespace verolux
