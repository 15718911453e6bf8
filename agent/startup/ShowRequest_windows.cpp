#include "agent/startup/ShowRequest.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <string>

namespace verolux {
namespace {

// Pipes live in one namespace for the whole machine: the name holds the session (each person's
// desktop on a terminal server) and a hash of the program folder (a pipe name has no backslashes).
std::wstring PipeName(const std::filesystem::path& programFolder) {
    std::wstring folder = std::filesystem::absolute(programFolder).lexically_normal().wstring();
    std::transform(folder.begin(), folder.end(), folder.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    std::uint64_t hash = 14695981039346656037ULL; // FNV-1a
    for (wchar_t c : folder) {
        hash ^= static_cast<std::uint16_t>(c);
        hash *= 1099511628211ULL;
    }
    DWORD session = 0;
    ::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
    wchar_t text[17];
    for (int i = 15; i >= 0; --i, hash >>= 4)
        text[i] = L"0123456789abcdef"[hash & 15];
    text[16] = L'\0';
    return L"Verolux-show-" + std::to_wstring(session) + L"-" + text;
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
