#include "demo/backend/BackendOptions.h"

#include <charconv>
#include <string_view>

namespace demo {

std::string usageText() {
    return "usage: verolux-demo-backend [--port N] [--host ADDR] [--templates DIR] [--uploads DIR]\n"
           "                            [--releases DIR] [--web DIR] [--no-edited-templates]\n"
           "                            [--update-key KEY.pem]\n"
           "  --port 0 picks a free port; the address is printed as \"listening on http://HOST:PORT\".\n";
}

OptionsParse parseOptions(int argc, char** argv, const std::string& defaultRoot) {
    OptionsParse result;
    BackendOptions options;
    options.templatesDir = defaultRoot + "/templates";
    options.webDir = defaultRoot + "/web";
    options.releasesDir = defaultRoot + "/releases";
    options.uploadsDir = "/tmp/verolux-demo-uploads";
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") return result;
        if (arg == "--no-edited-templates") {
            options.editedTemplates = false;
            continue;
        }
        if (i + 1 >= argc) {
            result.error = "missing value after " + std::string(arg);
            return result;
        }
        const std::string value = argv[++i];
        if (arg == "--port") {
            int port = -1;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), port);
            if (ec != std::errc{} || end != value.data() + value.size() || port < 0 || port > 65535) {
                result.error = "bad port: " + value;
                return result;
            }
            options.port = port;
        } else if (arg == "--host") {
            options.host = value;
        } else if (arg == "--templates") {
            options.templatesDir = value;
        } else if (arg == "--uploads") {
            options.uploadsDir = value;
        } else if (arg == "--releases") {
            options.releasesDir = value;
        } else if (arg == "--web") {
            options.webDir = value;
        } else if (arg == "--update-key") {
            options.updateKeyPath = value;
        } else {
            result.error = "unknown option: " + std::string(arg);
            return result;
        }
    }
    result.options = std::move(options);
    return result;
}

} // namespace demo
