#include "agent/desktop/frmServer.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace verolux {

FileStamp StampOf(const std::filesystem::path& path) {
    // Opened for no access at all: a writer holding the file is not disturbed.
    const HANDLE file = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = ::GetFileInformationByHandle(file, &info);
    ::CloseHandle(file);
    if (!ok) return {};
    const auto join = [](DWORD high, DWORD low) { return (std::uint64_t(high) << 32) | low; };
    // The file index is the inode's counterpart: a replacement by rename gets a new one.
    return {true, join(info.nFileSizeHigh, info.nFileSizeLow), join(info.nFileIndexHigh, info.nFileIndexLow),
            std::int64_t(join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime)) *
                100};
}

} // namespace verolux
