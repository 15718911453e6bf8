#include "common/Version.h"

namespace verolux {

std::string VersionText() {
    return std::to_string(VEROLUX_VERSION_MAJOR) + "." + std::to_string(VEROLUX_VERSION_MINOR) + "." +
           std::to_string(VEROLUX_VERSION_PATCH);
}

} // namespace verolux
