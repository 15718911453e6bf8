#include "common/UpdateManifest.h"

#include "common/UpdateSignature.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace verolux {
namespace {

std::optional<std::vector<unsigned long>> ParseVersion(std::string_view text) {
    std::vector<unsigned long> parts;
    std::size_t at = 0;
    while (true) {
        std::size_t end = at;
        unsigned long n = 0;
        // Nine digits at most, so a number never overflows.
        while (end < text.size() && end - at < 10 && text[end] >= '0' && text[end] <= '9')
            n = n * 10 + static_cast<unsigned long>(text[end++] - '0');
        if (end == at || end - at > 9) return std::nullopt;
        parts.push_back(n);
        if (end == text.size()) return parts;
        if (text[end] != '.') return std::nullopt;
        at = end + 1;
    }
}

bool IsHexDigest(std::string_view text) {
    if (text.size() != 64) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
    return true;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// Exactly the three keys, each once; a last line without its LF is taken as a line.
std::optional<UpdateManifest> ParseManifest(std::string_view text) {
    UpdateManifest m;
    bool haveFile = false, haveVer = false, haveSha = false;
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        text = lf == std::string_view::npos ? std::string_view() : text.substr(lf + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) return std::nullopt;
        const std::string_view key = line.substr(0, eq), value = line.substr(eq + 1);
        bool* seen = key == "file"     ? &haveFile
                     : key == "ver"    ? &haveVer
                     : key == "sha256" ? &haveSha
                                       : nullptr;
        if (!seen || *seen) return std::nullopt;
        *seen = true;
        if (key == "file")
            m.file = value;
        else if (key == "ver")
            m.ver = value;
        else
            m.sha256 = Lower(value);
    }
    if (!haveFile || !haveVer || !haveSha || m.file.empty() || !ParseVersion(m.ver) || !IsHexDigest(m.sha256))
        return std::nullopt;
    return m;
}

} // namespace

const char* ToString(ManifestFault fault) {
    switch (fault) {
    case ManifestFault::None:
        return "none";
    case ManifestFault::BadSignature:
        return "bad signature";
    case ManifestFault::Malformed:
        return "malformed manifest";
    case ManifestFault::OtherProgram:
        return "signed for another program";
    case ManifestFault::NameMismatch:
        return "file name differs from the signed one";
    case ManifestFault::VersionMismatch:
        return "version differs from the signed one";
    case ManifestFault::NotNewer:
        return "not newer than the installed version";
    case ManifestFault::DigestMismatch:
        return "file differs from the signed one";
    }
    return "?";
}

bool CompareVersions(std::string_view a, std::string_view b, int& order) {
    auto x = ParseVersion(a), y = ParseVersion(b);
    if (!x || !y) return false;
    // Missing trailing numbers count as 0: "2.0" is "2.0.0".
    const std::size_t n = std::max(x->size(), y->size());
    x->resize(n, 0);
    y->resize(n, 0);
    order = *x < *y ? -1 : *x == *y ? 0 : 1;
    return true;
}

ManifestVerdict CheckManifest(std::string_view manifestText, std::string_view signature,
                              std::string_view publicKey, const UpdateOffer& offer) {
    ManifestVerdict verdict;
    // Nothing of the text is looked at before its signature holds.
    if (!VerifySignature(manifestText, signature, publicKey)) return verdict;
    std::optional<UpdateManifest> m = ParseManifest(manifestText);
    int order = 0;
    if (!m)
        verdict.fault = ManifestFault::Malformed;
    else if (m->file != offer.program)
        verdict.fault = ManifestFault::OtherProgram;
    else if (offer.file != m->file)
        verdict.fault = ManifestFault::NameMismatch;
    else if (offer.ver != m->ver)
        verdict.fault = ManifestFault::VersionMismatch;
    else if (CompareVersions(m->ver, offer.current, order) && order <= 0)
        verdict.fault = ManifestFault::NotNewer;
    else {
        verdict.fault = ManifestFault::None;
        verdict.manifest = std::move(*m);
    }
    return verdict;
}

ManifestFault CheckDigest(const UpdateManifest& manifest, std::string_view sha256Hex) {
    return IsHexDigest(sha256Hex) && Lower(sha256Hex) == manifest.sha256 ? ManifestFault::None
                                                                         : ManifestFault::DigestMismatch;
}

} // namespace verolux
