#include "common/ProgramFolder.h"

#include <cstdlib>
#include <system_error>

namespace verolux {

std::filesystem::path ProgramFolder() {
    if (const char* home = std::getenv("VEROLUX_HOME"); home && *home) return std::filesystem::path(home);
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::current_path();
    return exe.parent_path();
}

} // namespace verolux
