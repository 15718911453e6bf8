#include "common/TextFile.h"

#include "common/WideText.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <random>

namespace verolux {
namespace {

// MoveFileEx fails while a reader has the target open without FILE_SHARE_DELETE (the C library's
// fopen): such reads are short, so a few tries get through.
bool MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = ::GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) return false;
        ::Sleep(20);
    }
    return false;
}

} // namespace

int OpenForReading(std::string_view utf8Name) {
    int fd = -1;
    if (::_wsopen_s(&fd, WideFromUtf8(utf8Name).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT, _SH_DENYNO,
                    0) != 0)
        return -1;
    return fd;
}

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
    return ::_wfopen(path.c_str(), WideFromUtf8(mode).c_str());
}

bool RenameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    return MoveReplacing(from, to);
}

bool SyncFile(int fd) {
    return ::_commit(fd) == 0;
}

bool SetReplacementMode(int, const std::filesystem::path&, bool) {
    return true; // the folder's access rules apply; there is no execute bit
}

long long ReadAt(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
    // The C library has no pread: read through the file's own handle with an offset.
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE) return -1;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    if (!::ReadFile(handle, buffer, want, &got, &at)) return ::GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    return got;
}

FileWriteLock::FileWriteLock(const std::filesystem::path& lockFile) {
    HANDLE h =
        ::CreateFileW(lockFile.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    OVERLAPPED whole{};
    if (!::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
        ::CloseHandle(h);
        return;
    }
    m_handle = h;
}

FileWriteLock::~FileWriteLock() {
    if (m_handle) ::CloseHandle(static_cast<HANDLE>(m_handle)); // closing releases the lock
}

Replacement BeginReplacement(const std::filesystem::path& path) {
    // Opened without sharing delete: while the writer lives, nobody removes the file (a live one is told
    // from a stale one by whether it can be deleted).
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    const std::string name = path.filename().string();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporaryName(1, '.');
        temporaryName.append(name).push_back('.');
        for (int i = 0; i < 6; ++i)
            temporaryName.push_back(kLetters[random() % (sizeof kLetters - 1)]);
        const std::filesystem::path temporary = path.parent_path() / PathFromUtf8(temporaryName);
        int fd = -1;
        const errno_t rc =
            ::_wsopen_s(&fd, temporary.c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY | _O_NOINHERIT,
                        _SH_DENYWR, _S_IREAD | _S_IWRITE);
        if (rc == 0) return {temporary.string(), fd};
        if (rc != EEXIST) break;
    }
    return {};
}

int RemoveStaleTemporaries(const std::filesystem::path& folder) {
    int removed = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (!IsTemporaryName(entry.path().filename().string()) || !entry.is_regular_file(ec)) continue;
        if (::DeleteFileW(entry.path().c_str())) ++removed; // a live writer's file cannot be deleted
    }
    return removed;
}

bool CommitReplacement(const Replacement& replacement, bool ok, const std::filesystem::path& path) {
    ok = (::_close(replacement.fd) == 0) && ok;
    const std::filesystem::path temporary = PathFromUtf8(replacement.temporary);
    if (ok && MoveReplacing(temporary, path)) return true;
    ::DeleteFileW(temporary.c_str());
    return false;
}

bool ReplaceFileAtomically(const std::filesystem::path& path, std::string_view content) {
    const Replacement replacement = BeginReplacement(path);
    if (replacement.fd < 0) return false;
    bool ok = true;
    const char* p = content.data();
    std::size_t left = content.size();
    while (ok && left > 0) {
        const unsigned chunk = left > 0x40000000 ? 0x40000000u : static_cast<unsigned>(left);
        const int n = ::_write(replacement.fd, p, chunk);
        if (n <= 0)
            ok = false;
        else {
            p += n;
            left -= static_cast<std::size_t>(n);
        }
    }
    ok = ok && SyncFile(replacement.fd);
    return CommitReplacement(replacement, ok, path);
}

} // namespace verolux
