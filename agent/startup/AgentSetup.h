#pragma once

#include "common/Ini.h"

#include <filesystem>
#include <string>

namespace verolux {
class frmServer;

// The agent's update check for the launcher (a failure of any kind is silent).
void CheckLauncherUpdate(const mINI::Settings& settings, const std::filesystem::path& programFolder);

// Connects the main window to the print pipeline.
void InstallPrintProcedure(frmServer& window);

} // namespace verolux
