#pragma once

#include <optional>
#include <string>

namespace demo {

struct BackendOptions {
    std::string host = "127.0.0.1";
    int port = 28510; // 0: any free port, printed at start
    std::string templatesDir;
    std::string uploadsDir;
    std::string releasesDir;
    std::string webDir;
    // A template uploaded from the designer under a sample template's name is served in its place,
    // so a changed template takes effect on the next print, as it would with the real backend.
    bool editedTemplates = true;
    // Ed25519 private key (PEM) that signs the release manifests; empty: nothing is signed.
    std::string updateKeyPath;
};

struct OptionsParse {
    std::optional<BackendOptions> options;
    std::string error; // empty with no options: help was asked for
};

// `defaultRoot` is the demo folder holding templates/, web/ and releases/.
OptionsParse parseOptions(int argc, char** argv, const std::string& defaultRoot);

std::string usageText();

} // namespace demo
