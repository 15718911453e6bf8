#include "launcher/Launcher.h"

#include "common/AgentPresence.h"
#include "common/CheckUpdate.h"
#include "common/Ini.h"
#include "common/PolicyFile.h"
#include "common/Version.h"

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <cstring>

extern char** environ;

namespace mMain {

std::string StartDetached(const std::filesystem::path& program) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    for (int fd : {0, 1, 2})
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    // Own session: the agent outlives the launcher and any terminal it was started from.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    std::string path = program.string();
    char* argv[] = {path.data(), nullptr};
    pid_t pid = 0;
    int rc = ::posix_spawn(&pid, path.c_str(), &actions, &attr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return rc == 0 ? std::string() : std::string(std::strerror(rc));
}

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
