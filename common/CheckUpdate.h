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

// Asks the backend for the latest release of the other program. A non-empty `ver` in the answer is
// written to [AppInfo] key first, then `url` is downloaded to programFolder/`file` (a plain file name
// only; the file is replaced only after a complete 2xx answer and keeps or gets its run permission).
// Every failure is silent; the download's outcome is not looked at.
void CheckUpdate(const Settings& settings, const std::filesystem::path& programFolder, std::string_view key,
                 std::string_view kind, std::string_view current);

} // namespace mINI
