#include "common/AgentPresence.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace verolux {

bool FindAgentWindow(const std::filesystem::path& programFolder, std::string_view caption) {
    int fd = ::open((programFolder / kAgentLockFile).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool found = false;
    if (::flock(fd, LOCK_SH | LOCK_NB) == 0) {
        ::flock(fd, LOCK_UN); // nobody holds it: no agent runs, whatever the file says
    } else if (errno == EWOULDBLOCK) {
        std::string content;
        char buf[512];
        ssize_t n;
        while ((n = ::read(fd, buf, sizeof buf)) > 0 && content.size() <= caption.size())
            content.append(buf, static_cast<std::size_t>(n));
        found = content == caption;
    }
    ::close(fd);
    return found;
}

AgentLock::AgentLock(const std::filesystem::path& programFolder) : m_file(programFolder / kAgentLockFile) {}

AgentLock::~AgentLock() {
    if (m_fd >= 0) {
        // No caption left behind once the agent is gone; a failure leaves only an unlocked file.
        if (m_held && ::ftruncate(m_fd, 0) != 0) {
        }
        ::close(m_fd);
    }
}

bool AgentLock::TryAcquire() {
    if (m_held) return true;
    if (m_fd < 0) m_fd = ::open(m_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m_fd < 0) return false;
    m_held = ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
    return m_held;
}

bool AgentLock::PreviousInstance() {
    if (m_held) return false;
    if (TryAcquire()) return false;
    // Only a lock held elsewhere counts; a folder we cannot write is no other agent.
    return m_fd >= 0;
}

void AgentLock::PublishCaption(const std::string& caption) {
    if (!m_held) return;
    // (void) does not silence the checked libc of a hardened build; a longer old caption left after a
    // failed truncation only makes the launcher miss the agent, as it would without the file.
    if (::pwrite(m_fd, caption.data(), caption.size(), 0) == static_cast<ssize_t>(caption.size()) &&
        ::ftruncate(m_fd, static_cast<off_t>(caption.size())) != 0) {
    }
}

} // namespace verolux
