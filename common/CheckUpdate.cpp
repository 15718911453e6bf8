#include "common/CheckUpdate.h"

#include "common/Http.h"
#include "common/JsonReader.h"
#include "common/UpdateManifest.h"
#include "common/UpdateSignature.h"

#include <exception>
#include <functional>
#include <optional>

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

std::string_view ProgramForKind(std::string_view kind) {
    if (kind == kKindAgent) return kAgentProgram;
    if (kind == kKindLauncher) return kLauncherProgram;
    return {};
}

std::string ManifestUrl(std::string_view url) {
    return std::string(url) + ".manifest";
}

std::string ManifestSignatureUrl(std::string_view url) {
    return std::string(url) + ".manifest.sig";
}

namespace {

// The release's signed manifest, when the key signs one that allows this install.
std::optional<verolux::UpdateManifest> FetchSignedManifest(const std::string& url, std::string_view updateKey,
                                                           const verolux::UpdateOffer& offer) {
    std::string manifest, signature;
    if (!verolux::DownloadToString(ManifestUrl(url), verolux::kMaxManifestBytes, manifest) ||
        !verolux::DownloadToString(ManifestSignatureUrl(url), verolux::kMaxSignatureBytes, signature))
        return std::nullopt;
    verolux::ManifestVerdict verdict = verolux::CheckManifest(manifest, signature, updateKey, offer);
    if (verdict.fault != verolux::ManifestFault::None) return std::nullopt;
    return std::move(verdict.manifest);
}

} // namespace

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
        // Only the program asked for: an answer naming MyIni.ini, anything else, or the caller's own
        // file (which would then start itself in place of the other) changes nothing.
        const std::string_view program = ProgramForKind(kind);
        if (program.empty() || file != program) return;

        // With a key, what is installed is signed as a whole: name, version and digest. A refusal
        // records nothing, so a refused older release never becomes the version sent next time.
        const std::string updateKey = settings.ReadIni("AppInfo", "UpdateKey");
        std::optional<verolux::UpdateManifest> manifest;
        if (!updateKey.empty()) {
            manifest = FetchSignedManifest(url, updateKey, {program, file, ver, current});
            if (!manifest) return;
        }
        settings.WriteIni("AppInfo", key, ver); // before the download, as the other program expects

        std::function<bool(int)> signedFile;
        if (manifest)
            signedFile = [&](int fd) {
                return verolux::CheckDigest(*manifest, verolux::FileSha256Hex(fd)) ==
                       verolux::ManifestFault::None;
            };
        verolux::DownloadToFile(url, programFolder / file, verolux::kMaxProgramFileBytes, /*executable=*/true,
                                signedFile);
    } catch (const std::exception&) {
        // Silent by design: start-up goes on whatever happened here.
    }
}

} // namespace mINI
