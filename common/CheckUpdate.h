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
#ifdef _WIN32
inline constexpr std::string_view kAgentProgram = "Verolux.exe";
inline constexpr std::string_view kLauncherProgram = "Kestrane.exe";
#else
inline constexpr std::string_view kAgentProgram = "Verolux";
inline constexpr std::string_view kLauncherProgram = "Kestrane";
#endif

// The program file a component kind names ("1": Verolux, "2": Kestrane); empty for any other kind.
std::string_view ProgramForKind(std::string_view kind);

// Where the signed manifest of a release file at url lies, and its signature.
std::string ManifestUrl(std::string_view url);
std::string ManifestSignatureUrl(std::string_view url);

// Asks the backend for the latest release of the other program. An answer with a non-empty `ver` and
// the `file` of the program kind names has its version written to [AppInfo] key first; then `url` is
// downloaded to programFolder/`file` (replaced only after a complete 2xx answer, with its run
// permission). With [AppInfo] UpdateKey set, url + ".manifest" and its signature url + ".manifest.sig"
// are fetched first: unless that key signs a manifest naming this program, the answer's `file` and
// `ver`, and a version newer than current, the answer is ignored whole; the file is installed only
// when its SHA-256 is the manifest's. Every failure is silent; the download's outcome is not looked at.
void CheckUpdate(const Settings& settings, const std::filesystem::path& programFolder, std::string_view key,
                 std::string_view kind, std::string_view current);

} // namespace mINI
