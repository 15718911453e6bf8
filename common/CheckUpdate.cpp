#include "common/CheckUpdate.h"

#include "common/Http.h"
#include "common/JsonReader.h"
#include "common/UpdateSignature.h"

#include <exception>
#include <functional>

namespace mINI {

std::string DefaultWebsUrl() {
    return "https://print.verolux.app";
}

std::string EnsureWebsUrl(const Settings& settings) {
    std::string url = settings.ReadIni("AppInfo", "WebsUrl");
    if (url.empty()) {
        settings.WriteIni("AppInfo", "WebsUrl", DefaultWebsUrl());
        url = settings.ReadIni("AppInfo", "WebsUrl");
    }
    return url;
}

std::string UpdateQueryUrl(std::string_view websUrl, std::string_view kind, std::string_view current) {
    std::string url(websUrl);
    url.append("/basedata/v1/update/getLastUpdate/").append(kind).append("※").append(current);
    return url;
}

bool IsProgramFileName(std::string_view file) {
    return file == kAgentProgram || file == kLauncherProgram;
}

void CheckUpdate(const Settings& settings, const std::filesystem::path& programFolder, std::string_view key,
                 std::string_view kind, std::string_view current) {
    try {
        const std::string websUrl = settings.ReadIni("AppInfo", "WebsUrl");
        const std::string answer = verolux::PostJson(UpdateQueryUrl(websUrl, kind, current), "{}");
        const verolux::JsonDocument doc = verolux::JsonDocument::Parse(answer);
        const std::string ver = doc.requiredText("ver");
        if (ver.empty()) return;
        const std::string url = doc.requiredText("url");
        const std::string file = doc.requiredText("file");
        // Only the two program files: an answer naming MyIni.ini or anything else changes nothing.
        if (!IsProgramFileName(file)) return;
        settings.WriteIni("AppInfo", key, ver); // before the download, as the other program expects

        const std::string updateKey = settings.ReadIni("AppInfo", "UpdateKey");
        std::string signature;
        std::function<bool(int)> signedByKey;
        if (!updateKey.empty()) {
            if (!verolux::DownloadToString(url + ".sig", verolux::kMaxSignatureBytes, signature)) return;
            signedByKey = [&](int fd) { return verolux::VerifyFileSignature(fd, signature, updateKey); };
        }
        verolux::DownloadToFile(url, programFolder / file, verolux::kMaxProgramFileBytes, /*executable=*/true,
                                signedByKey);
    } catch (const std::exception&) {
        // Silent by design: start-up goes on whatever happened here.
    }
}

} // namespace mINI
