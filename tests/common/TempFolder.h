#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

namespace testsupport {

// A new empty folder "PREFIX-PID-N" in the system's temporary folder: one per call, and no clash with
// a test program running at the same time. The caller removes it.
inline std::filesystem::path FreshTempFolder(const std::string& prefix) {
    static int serial = 0;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        (prefix + "-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

} // namespace testsupport
