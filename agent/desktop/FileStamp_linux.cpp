#include "agent/desktop/frmServer.h"

#include <sys/stat.h>

namespace verolux {

FileStamp StampOf(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return {true, std::uintmax_t(st.st_size), std::uintmax_t(st.st_ino),
            std::int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

} // namespace verolux
