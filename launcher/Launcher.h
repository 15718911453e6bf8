#pragma once

#include <filesystem>
#include <ostream>
#include <string>

namespace mMain {

// Starts program detached in its own session (stdin, stdout, stderr on /dev/null), with this
// process's environment and no arguments; does not wait. Returns "" or the reason it failed.
// On Windows: CreateProcessW with a normal, activated window, no console and no handles inherited.
std::string StartDetached(const std::filesystem::path& program);

// The launcher's steps for the program folder: update check for the agent, then start the agent
// unless it already runs, then record the launcher's version. Returns the exit code; a failure to
// start the agent is reported on err (and the version is then not recorded).
int RunLauncher(const std::filesystem::path& programFolder, std::ostream& err);

} // namespace mMain
