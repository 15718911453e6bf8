#include "common/TextFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace verolux {

namespace {

constexpr std::string_view kTemporarySuffix = ".XXXXXX";

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

int OpenForReading(std::string_view utf8Name) {
    return ::open(std::string(utf8Name).c_str(), O_RDONLY | O_CLOEXEC);
}

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

bool RenameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool SyncFile(int fd) {
    return ::fsync(fd) == 0;
}

bool SetReplacementMode(int fd, const std::filesystem::path& path, bool executable) {
    struct stat old {};
    mode_t mode = 0644;
    if (::stat(path.c_str(), &old) == 0)
        mode = old.st_mode & 07777;
    else if (executable)
        mode = 0755;
    if (executable) // execute wherever it may be read
        mode |= (mode & 0444) >> 2;
    return ::fchmod(fd, mode) == 0;
}

long long ReadAt(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
    for (;;) {
        const ssize_t n = ::pread(fd, buffer, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

FileWriteLock::FileWriteLock(const std::filesystem::path& lockFile)
    : m_fd(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (m_fd >= 0) ::flock(m_fd, LOCK_EX);
}

FileWriteLock::~FileWriteLock() {
    if (m_fd >= 0) ::close(m_fd); // closing releases the lock
}

} // namespace verolux
