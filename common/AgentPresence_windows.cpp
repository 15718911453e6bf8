#include "common/AgentPresence.h"

#include "common/FolderKey.h"
#include "common/WideText.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

namespace verolux {
namespace {

// One mutex per program folder and session ("Local\").
std::wstring MutexName(const std::filesystem::path& programFolder) {
    return L"Local\\Verolux-" + FolderKey(programFolder);
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
