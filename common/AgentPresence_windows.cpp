#include "common/AgentPresence.h"

#include "common/WideText.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <string>

namespace verolux {
namespace {

// One mutex per program folder and session ("Local\"): the name is the folder's path, case folded,
// hashed (a mutex name may hold no backslash and at most MAX_PATH characters).
std::wstring MutexName(const std::filesystem::path& programFolder) {
    std::wstring folder = std::filesystem::absolute(programFolder).lexically_normal().wstring();
    std::transform(folder.begin(), folder.end(), folder.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    std::uint64_t hash = 14695981039346656037ULL; // FNV-1a
    for (wchar_t c : folder) {
        hash ^= static_cast<std::uint16_t>(c);
        hash *= 1099511628211ULL;
    }
    wchar_t text[17];
    for (int i = 15; i >= 0; --i, hash >>= 4)
        text[i] = L"0123456789abcdef"[hash & 15];
    text[16] = L'\0';
    return std::wstring(L"Local\\Verolux-") + text;
}

} // namespace

bool FindAgentWindow(const std::filesystem::path&, std::string_view caption) {
    // Hidden windows are found too: the agent's main window is hidden most of its life.
    return ::FindWindowW(nullptr, WideFromUtf8(caption).c_str()) != nullptr;
}

AgentLock::AgentLock(const std::filesystem::path& programFolder) : m_file(programFolder) {}

AgentLock::~AgentLock() {
    if (m_mutex) ::CloseHandle(static_cast<HANDLE>(m_mutex)); // the system releases it with the process too
}

namespace {

enum class Take { Taken, HeldElsewhere, Failed };

Take CreateFolderMutex(const std::filesystem::path& programFolder, void** handle) {
    HANDLE mutex = ::CreateMutexW(nullptr, TRUE, MutexName(programFolder).c_str());
    if (!mutex) return Take::Failed;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return Take::HeldElsewhere;
    }
    *handle = mutex;
    return Take::Taken;
}

} // namespace

bool AgentLock::TryAcquire() {
    if (!m_held) m_held = CreateFolderMutex(m_file, &m_mutex) == Take::Taken;
    return m_held;
}

bool AgentLock::PreviousInstance() {
    if (m_held) return false;
    const Take take = CreateFolderMutex(m_file, &m_mutex);
    m_held = take == Take::Taken;
    return take == Take::HeldElsewhere;
}

void AgentLock::PublishCaption(const std::string&) {
    // The main window's own caption is what FindWindowW finds.
}

} // namespace verolux
