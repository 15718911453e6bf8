#include "common/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace verolux {

std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Replacement BeginReplacement(const std::filesystem::path& path) {
    Replacement r;
    r.temporary = (path.parent_path() / ("." + path.filename().string() + ".XXXXXX")).string();
    r.fd = ::mkstemp(r.temporary.data());
    return r;
}

bool CommitReplacement(const Replacement& replacement, bool ok, const std::filesystem::path& path) {
    ok = (::close(replacement.fd) == 0) && ok;
    if (ok && std::rename(replacement.temporary.c_str(), path.c_str()) == 0) return true;
    ::unlink(replacement.temporary.c_str());
    return false;
}

bool ReplaceFileAtomically(const std::filesystem::path& path, std::string_view content) {
    const Replacement replacement = BeginReplacement(path);
    const int fd = replacement.fd;
    if (fd < 0) return false;
    // Keep the permissions of the file being replaced (mkstemp creates 0600).
    struct stat st {};
    ::fchmod(fd, ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
    bool ok = true;
    const char* p = content.data();
    std::size_t left = content.size();
    while (ok && left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0)
            ok = false;
        else {
            p += n;
            left -= static_cast<std::size_t>(n);
        }
    }
    ok = ok && ::fsync(fd) == 0;
    return CommitReplacement(replacement, ok, path);
}

} // namespace verolux
