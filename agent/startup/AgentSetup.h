#pragma once

#include "common/Ini.h"

#include <filesystem>
#include <string>

namespace verolux {
class frmServer;

// The agent's update check for the launcher (a failure of any kind is silent).
void CheckLauncherUpdate(const mINI::Settings& settings, const std::filesystem::path& programFolder);

// Removes the temporary files of downloads and settings writes that a killed agent left in the program
// and template folders (files a live writer holds stay).
void RemoveStaleTemporaryFiles(const std::filesystem::path& programFolder);

// Connects the main window to the print pipeline; a message above the size limit is answered as an
// unreadable request is.
void InstallPrintProcedure(frmServer& window);

// The connections' limits from the settings ([Verolux] MaxMessageMB). A test may shorten the
// handshake timeout with $VEROLUX_TEST_HANDSHAKE_TIMEOUT_MS (milliseconds); nothing else should.
void ApplyConnectionSettings(frmServer& window, const mINI::Settings& settings);

} // namespace verolux
