#include "agent/startup/ShowRequest.h"

#include "common/FolderKey.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

namespace verolux {
namespace {

// Pipes live in one namespace for the whole machine: the name holds the session (each person's
// desktop on a terminal server) and a hash of the program folder (a pipe name has no backslashes).
std::wstring PipeName(const std::filesystem::path& programFolder) {
    DWORD session = 0;
    ::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
    return L"Verolux-show-" + std::to_wstring(session) + L"-" + FolderKey(programFolder);
}

} // namespace

QString ShowServerName(const std::filesystem::path& programFolder) {
    return QString::fromStdWString(PipeName(programFolder));
}

bool SendShowRequest(const std::filesystem::path& programFolder) {
    const std::wstring path = L"\\\\.\\pipe\\" + PipeName(programFolder);
    // No pipe: no agent listens (a killed one leaves nothing behind). A busy pipe gets a second's wait.
    HANDLE pipe = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_PIPE_BUSY &&
        ::WaitNamedPipeW(path.c_str(), 1000))
        pipe = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) return false;
    constexpr char kRequest[] = "show\n";
    DWORD written = 0;
    const bool sent =
        ::WriteFile(pipe, kRequest, sizeof kRequest - 1, &written, nullptr) && written == sizeof kRequest - 1;
    ::FlushFileBuffers(pipe); // the agent has read it before the pipe closes
    ::CloseHandle(pipe);
    return sent;
}

} // namespace verolux
