#pragma once

#include "common/Ini.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace mINI {

// Component kinds sent to the backend.
inline constexpr std::string_view kKindAgent = "1";
inline constexpr std::string_view kKindLauncher = "2";

// Backend base URL written into [AppInfo] WebsUrl when it is empty.
std::string DefaultWebsUrl();

// Reads [AppInfo] WebsUrl; when it is empty, writes DefaultWebsUrl() and reads it again.
std::string EnsureWebsUrl(const Settings& settings);

// WebsUrl + "/basedata/v1/update/getLastUpdate/" + kind + "※" + current.
std::string UpdateQueryUrl(std::string_view websUrl, std::string_view kind, std::string_view current);

// The program files an update may replace; no other name in an update answer is written.
inline constexpr std::string_view kAgentProgram = "Verolux";
inline constexpr std::string_view kLauncherProgram = "Kestrane";
bool IsProgramFileName(std::string_view file);

// Asks the backend for the latest release of the other program. An answer with a non-empty `ver` and a
// `file` that is one of the two program files has its version written to [AppInfo] key first; then
// `url` is downloaded to programFolder/`file` (replaced only after a complete 2xx answer, with its run
// permission). With [AppInfo] UpdateKey set, the file is installed only when url + ".sig" holds that
// key's valid signature of it. Every failure is silent; the download's outcome is not looked at.
void CheckUpdate(const Settings& settings, const std::filesystem::path& programFolder, std::string_view key,
                 std::string_view kind, std::string_view current);

} // namespace mINI
