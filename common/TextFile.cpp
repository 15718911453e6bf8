#include "common/TextFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>

namespace verolux {

std::string ReadWholeFile(const std::filesystem::path& path) {
    // A folder opens but throws on reading (a policy path naming /etc/verolux, say): reads as "".
    try {
        std::ifstream in(path, std::ios::binary);
        if (!in) return {};
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::exception&) {
        return {};
    }
}

namespace {

constexpr std::string_view kTemporarySuffix = ".XXXXXX";

// ".NAME.XXXXXX" as mkstemp fills it in: six letters or digits after the last dot.
bool IsTemporaryName(std::string_view name) {
    const std::size_t n = kTemporarySuffix.size();
    if (name.size() < n + 2 || name.front() != '.' || name[name.size() - n] != '.') return false;
    for (char c : name.substr(name.size() - n + 1))
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    return true;
}

} // namespace

Replacement BeginReplacement(const std::filesystem::path& path) {
    const std::string pattern =
        (path.parent_path() / ("." + path.filename().string() + std::string(kTemporarySuffix))).string();
    // The lock tells a live file from a stale one. A cleaner may take a file between its creation and
    // the lock: then it is already unlinked when the lock is ours, and we make another.
    for (int attempt = 0; attempt < 3; ++attempt) {
        Replacement r{pattern, -1};
        r.fd = ::mkstemp(r.temporary.data());
        if (r.fd < 0) return r;
        struct stat st {};
        if (::flock(r.fd, LOCK_EX) == 0 && ::fstat(r.fd, &st) == 0 && st.st_nlink > 0) return r;
        ::close(r.fd);
    }
    return {};
}

int RemoveStaleTemporaries(const std::filesystem::path& folder) {
    int removed = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (!IsTemporaryName(name) || !entry.is_regular_file(ec)) continue;
        const int fd = ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(entry.path().c_str()) == 0) ++removed;
        ::close(fd);
    }
    return removed;
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
