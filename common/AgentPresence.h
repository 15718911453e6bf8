#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace verolux {

// On Linux the running agent holds an exclusive lock on this file in its program folder for its whole
// life and keeps its main window caption in it: the launcher's "window search by caption". On Windows
// the lock is a named mutex of the program folder and the search finds the window itself.
inline constexpr const char* kAgentLockFile = "Verolux.lock";

// "Web报表服务端 (" + version + ")"
std::string AgentCaption(std::string_view version);

// True when a live process holds the agent lock of programFolder and has published exactly caption
// (Linux); on Windows when a top-level window of this desktop has exactly that caption.
bool FindAgentWindow(const std::filesystem::path& programFolder, std::string_view caption);

// The agent's side: the lock it holds while it runs. Closing (destruction or process end) releases it.
class AgentLock {
  public:
    explicit AgentLock(const std::filesystem::path& programFolder);
    ~AgentLock();
    AgentLock(const AgentLock&) = delete;
    AgentLock& operator=(const AgentLock&) = delete;

    // Takes the lock if no other process holds it. True when this process holds it afterwards.
    bool TryAcquire();

    // True when another live process holds the lock. A probe that finds it free keeps it, so of two
    // agents starting together only one sees no previous instance.
    bool PreviousInstance();

    // Writes the caption into the lock file (only while holding the lock; Windows has the window's).
    void PublishCaption(const std::string& caption);

    bool held() const { return m_held; }

  private:
    std::filesystem::path m_file;
#ifdef _WIN32
    void* m_mutex = nullptr;
#else
    int m_fd = -1;
#endif
    bool m_held = false;
};

} // namespace verolux
