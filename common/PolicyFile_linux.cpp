#include "common/PolicyFile.h"

#include <cstdlib>

namespace mINI {

std::filesystem::path PolicyFilePath() {
    const char* path = std::getenv("VEROLUX_POLICY");
    return path && *path ? std::filesystem::path(path) : std::filesystem::path("/etc/verolux/policy.ini");
}

} // namespace mINI
