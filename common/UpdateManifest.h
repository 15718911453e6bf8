#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace verolux {

// What a signed manifest says of one release file: the program file it is, its version and the
// SHA-256 of its bytes. Text form, one "key=value" line each, LF (or CR LF) endings:
//   file=Verolux
//   ver=2.0.0
//   sha256=<64 hexadecimal digits>
struct UpdateManifest {
    std::string file;
    std::string ver;
    std::string sha256; // lower-case hex
};

// Most a manifest may hold; a real one is about 100 bytes.
inline constexpr std::size_t kMaxManifestBytes = 4096;

// Why a release is refused.
enum class ManifestFault {
    None,
    BadSignature,    // no valid signature of the manifest's bytes by the key (or the key is unreadable)
    Malformed,       // signed, but not three known lines, or a version or digest of the wrong form
    OtherProgram,    // signed for another program than the one asked for
    NameMismatch,    // the update answer's `file` is not the manifest's
    VersionMismatch, // the update answer's `ver` is not the manifest's
    NotNewer,        // the signed version is older than or equal to the installed one
    DigestMismatch,  // the downloaded file is not the one the manifest names
};

const char* ToString(ManifestFault fault);

// What the update answer offers and what the caller has.
struct UpdateOffer {
    std::string_view program; // the program file the check is for ("Verolux" for kind 1)
    std::string_view file;    // the answer's `file`
    std::string_view ver;     // the answer's `ver`
    std::string_view current; // version of the installed program; empty or unreadable: none known
};

struct ManifestVerdict {
    ManifestFault fault = ManifestFault::BadSignature;
    UpdateManifest manifest; // filled when fault is None
};

// Checks a manifest before its file is fetched: signature (64 raw Ed25519 bytes over the manifest's
// exact bytes) by publicKey (Base64 DER, the middle line of "openssl pkey -pubout"), then that it
// names the program asked for under the answer's name and version, and a version newer than current.
ManifestVerdict CheckManifest(std::string_view manifestText, std::string_view signature,
                              std::string_view publicKey, const UpdateOffer& offer);

// After the download: None when sha256Hex (any case) is the digest the manifest signs.
ManifestFault CheckDigest(const UpdateManifest& manifest, std::string_view sha256Hex);

// Reads a version text "1.0.27" (one or more decimal numbers joined by "."); -1, 0, 1 as a is older
// than, equal to or newer than b. False when either is no version text.
bool CompareVersions(std::string_view a, std::string_view b, int& order);

} // namespace verolux
