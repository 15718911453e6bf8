#include "launcher/Launcher.h"

#include "common/AgentPresence.h"
#include "common/CheckUpdate.h"
#include "common/Ini.h"
#include "common/PolicyFile.h"
#include "common/Version.h"

namespace mMain {

int RunLauncher(const std::filesystem::path& programFolder, std::ostream& err) {
    const mINI::Settings settings(programFolder);
    // The administrator's backend and update key win over the user's and the default; settings that
    // cannot be brought under the policy fetch nothing.
    const bool policyHeld = mINI::EnforcePolicy(settings);
    mINI::EnsureWebsUrl(settings);
    const std::string printVer = settings.ReadIni("AppInfo", "PrintVer");
    if (policyHeld) mINI::CheckUpdate(settings, programFolder, "PrintVer", mINI::kKindAgent, printVer);

    // The caption is the one of the version read before the check.
    if (verolux::FindAgentWindow(programFolder, verolux::AgentCaption(printVer))) return 0;

    const std::filesystem::path agent = programFolder / mINI::kAgentProgram;
    std::error_code ec;
    if (std::filesystem::is_regular_file(agent, ec)) {
        settings.WriteIni("Verolux", "Show", "1");
        if (std::string why = StartDetached(agent); !why.empty()) {
            err << "Kestrane: cannot start " << agent.string() << ": " << why << "\n";
            return 1;
        }
    }
    settings.WriteIni("AppInfo", "ShellVer", verolux::VersionText());
    return 0;
}

} // namespace mMain
