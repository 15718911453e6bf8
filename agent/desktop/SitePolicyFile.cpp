#include "agent/desktop/SitePolicyFile.h"

#include <cstdlib>

namespace verolux {

std::filesystem::path PolicyFilePath() {
    const char* path = std::getenv("VEROLUX_POLICY");
    return path && *path ? std::filesystem::path(path) : std::filesystem::path("/etc/verolux/policy.ini");
}

} // namespace verolux
