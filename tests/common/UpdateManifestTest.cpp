// The signed manifest of a release: which combinations of name, version, digest and signature let a
// file be installed.
#include "tests/common/SigningKey.h"

#include "common/UpdateManifest.h"

#include <gtest/gtest.h>

#include <cctype>

using testsupport::ManifestText;
using testsupport::Sha256Hex;
using testsupport::SigningKey;
using verolux::ManifestFault;

namespace {

TEST(UpdateManifest, OnlyASignedManifestOfTheProgramAskedForANewerVersionInstalls) {
    const SigningKey key, otherKey;
    const std::string release = "#!/bin/sh\necho agent 2.0.0\n";
    const std::string digest = Sha256Hex(release);
    const std::string good = ManifestText("Verolux", "2.0.0", digest);
    std::string upper = digest;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    enum Signer { Key, OtherKey, Garbage, Short };
    struct Row {
        const char* name;
        std::string signedText;
        std::string servedText; // empty: as signed
        Signer signer;
        const char* program;
        const char* file;
        const char* ver;
        const char* current;
        std::string fileDigest;
        ManifestFault fault;
    };
    const Row rows[] = {
        {"good", good, "", Key, "Verolux", "Verolux", "2.0.0", "1.0.0", digest, ManifestFault::None},
        {"digestInUpperCase", good, "", Key, "Verolux", "Verolux", "2.0.0", "1.0.0", upper,
         ManifestFault::None},
        {"crlfLines", "file=Verolux\r\nver=2.0.0\r\nsha256=" + digest + "\r\n", "", Key, "Verolux", "Verolux",
         "2.0.0", "1.0.0", digest, ManifestFault::None},
        {"tamperedName", good, ManifestText("Kestrane", "2.0.0", digest), Key, "Kestrane", "Kestrane",
         "2.0.0", "1.0.0", digest, ManifestFault::BadSignature},
        {"tamperedVersion", good, ManifestText("Verolux", "9.0.0", digest), Key, "Verolux", "Verolux",
         "9.0.0", "1.0.0", digest, ManifestFault::BadSignature},
        {"tamperedDigest", good, ManifestText("Verolux", "2.0.0", Sha256Hex("evil")), Key, "Verolux",
         "Verolux", "2.0.0", "1.0.0", Sha256Hex("evil"), ManifestFault::BadSignature},
        {"fileNotTheSignedOne", good, "", Key, "Verolux", "Verolux", "2.0.0", "1.0.0", Sha256Hex("evil"),
         ManifestFault::DigestMismatch},
        {"older", ManifestText("Verolux", "0.9.9", digest), "", Key, "Verolux", "Verolux", "0.9.9", "1.0.0",
         digest, ManifestFault::NotNewer},
        {"equal", ManifestText("Verolux", "1.0.0", digest), "", Key, "Verolux", "Verolux", "1.0.0", "1.0.0",
         digest, ManifestFault::NotNewer},
        {"equalWithFewerNumbers", ManifestText("Verolux", "1.0", digest), "", Key, "Verolux", "Verolux",
         "1.0", "1.0.0", digest, ManifestFault::NotNewer},
        {"newerByNumberNotText", ManifestText("Verolux", "1.0.10", digest), "", Key, "Verolux", "Verolux",
         "1.0.10", "1.0.9", digest, ManifestFault::None},
        {"noInstalledVersionKnown", good, "", Key, "Verolux", "Verolux", "2.0.0", "", digest,
         ManifestFault::None},
        {"installedVersionUnreadable", good, "", Key, "Verolux", "Verolux", "2.0.0", "marker-", digest,
         ManifestFault::None},
        {"launcherServedAsAgent", ManifestText("Kestrane", "2.0.0", digest), "", Key, "Verolux", "Verolux",
         "2.0.0", "1.0.0", digest, ManifestFault::OtherProgram},
        {"agentServedAsLauncher", good, "", Key, "Kestrane", "Kestrane", "2.0.0", "1.0.0", digest,
         ManifestFault::OtherProgram},
        {"answerNamesAnotherFile", good, "", Key, "Verolux", "MyIni.ini", "2.0.0", "1.0.0", digest,
         ManifestFault::NameMismatch},
        {"answerNamesAnotherVersion", good, "", Key, "Verolux", "Verolux", "2.0.1", "1.0.0", digest,
         ManifestFault::VersionMismatch},
        {"signedByAnotherKey", good, "", OtherKey, "Verolux", "Verolux", "2.0.0", "1.0.0", digest,
         ManifestFault::BadSignature},
        {"signatureGarbage", good, "", Garbage, "Verolux", "Verolux", "2.0.0", "1.0.0", digest,
         ManifestFault::BadSignature},
        {"signatureCut", good, "", Short, "Verolux", "Verolux", "2.0.0", "1.0.0", digest,
         ManifestFault::BadSignature},
        {"noDigestLine", "file=Verolux\nver=2.0.0\n", "", Key, "Verolux", "Verolux", "2.0.0", "1.0.0", digest,
         ManifestFault::Malformed},
        {"keyTwice", good + "file=Verolux\n", "", Key, "Verolux", "Verolux", "2.0.0", "1.0.0", digest,
         ManifestFault::Malformed},
        {"unknownKey", good + "kind=1\n", "", Key, "Verolux", "Verolux", "2.0.0", "1.0.0", digest,
         ManifestFault::Malformed},
        {"versionNotNumbers", ManifestText("Verolux", "2.0.x", digest), "", Key, "Verolux", "Verolux",
         "2.0.x", "1.0.0", digest, ManifestFault::Malformed},
        {"digestTooShort", ManifestText("Verolux", "2.0.0", digest.substr(1)), "", Key, "Verolux", "Verolux",
         "2.0.0", "1.0.0", digest, ManifestFault::Malformed},
    };
    for (const Row& r : rows) {
        std::string signature = r.signer == OtherKey ? otherKey.sign(r.signedText) : key.sign(r.signedText);
        if (r.signer == Garbage) signature.assign(64, '\x5a');
        if (r.signer == Short) signature.pop_back();
        const std::string served = r.servedText.empty() ? r.signedText : r.servedText;
        const verolux::ManifestVerdict v =
            verolux::CheckManifest(served, signature, key.publicKey(), {r.program, r.file, r.ver, r.current});
        const ManifestFault fault =
            v.fault == ManifestFault::None ? verolux::CheckDigest(v.manifest, r.fileDigest) : v.fault;
        EXPECT_EQ(verolux::ToString(fault), std::string(verolux::ToString(r.fault))) << r.name;
    }
}

TEST(UpdateManifest, UnreadableKeyVerifiesNothing) {
    const SigningKey key;
    const std::string text = ManifestText("Verolux", "2.0.0", Sha256Hex("x"));
    const verolux::UpdateOffer offer{"Verolux", "Verolux", "2.0.0", "1.0.0"};
    EXPECT_EQ(verolux::CheckManifest(text, key.sign(text), key.publicKey(), offer).fault,
              ManifestFault::None);
    for (const char* k : {"", "not a key", "MCowBQYDK2VwAyEA"})
        EXPECT_EQ(verolux::CheckManifest(text, key.sign(text), k, offer).fault, ManifestFault::BadSignature)
            << k;
}

} // namespace
