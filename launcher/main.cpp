#include "launcher/Launcher.h"

#include "common/Ini.h"
#include "common/ProgramFolder.h"
#include "common/TextFile.h"
#include "common/Version.h"

#include <cstring>
#include <filesystem>
#include <iostream>

namespace {

constexpr const char* kUsage =
    "usage: Kestrane [--defaults FILE]\n"
    "\n"
    "The Verolux launcher: asks the backend ([AppInfo] WebsUrl in MyIni.ini) for a newer agent,\n"
    "fetches it, then starts the agent Verolux from the same folder unless it already runs.\n"
    "[AppInfo] WebsUrl and UpdateKey of /etc/verolux/policy.ini (or $VEROLUX_POLICY) replace the\n"
    "user's at every start.\n"
    "The folder is the one holding this program, or $VEROLUX_HOME.\n"
    "\n"
    "  --defaults FILE  only write into MyIni.ini the keys of FILE that it lacks or holds empty\n"
    "                   (an administrator's defaults); the user's own values stay\n"
    "  --help           show this text\n"
    "  --version        show the version\n";

// Applies an administrator's defaults file to the program folder's settings; starts nothing.
int ApplyDefaults(const std::filesystem::path& programFolder, const std::filesystem::path& defaults) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(defaults, ec)) {
        std::cerr << "Kestrane: cannot read " << defaults.string() << "\n";
        return 1;
    }
    if (!mINI::Settings(programFolder).MergeDefaults(verolux::ReadWholeFile(defaults))) {
        std::cerr << "Kestrane: cannot write " << (programFolder / "MyIni.ini").string() << "\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // Other arguments are ignored, as they always were: the launcher's steps take none.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::cout << kUsage;
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::cout << "Kestrane " << verolux::VersionText() << "\n";
            return 0;
        }
        if (std::strcmp(argv[i], "--defaults") == 0) {
            if (i + 1 >= argc) {
                std::cerr << kUsage;
                return 2;
            }
            return ApplyDefaults(verolux::ProgramFolder(), argv[i + 1]);
        }
    }
    return mMain::RunLauncher(verolux::ProgramFolder(), std::cerr);
}
