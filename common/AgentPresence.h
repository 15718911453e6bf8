#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace verolux {

// The running agent holds an exclusive lock on this file in its program folder and keeps its main
// window caption in it. A crashed agent's lock goes with its process, so it never blocks a start.
inline constexpr std::string_view kAgentLockFile = "Verolux.lock";

class AgentLock {
public:
    explicit AgentLock(std::filesystem::path programFolder);
    ~AgentLock();
    AgentLock(const AgentLock&) = delete;
    AgentLock& operator=(const AgentLock&) = delete;

    // Takes the lock if no other agent holds it. True when this process now holds it.
    bool TryAcquire();
    bool held() const { return m_held; }
    // The previous-instance test: another live process holds the lock.
    bool PreviousInstance();
    // Publishes the caption the launcher looks for (only while the lock is held).
    void PublishCaption(std::string_view caption);

private:
    std::filesystem::path m_file;
    int m_fd = -1;
    bool m_held = false;
};

// The launcher's search for the running agent by its caption: the lock is held by a live process
// and the caption it published equals `caption` exactly.
bool FindAgentWindow(const std::filesystem::path& programFolder, std::string_view caption);

} // namespace verolux
