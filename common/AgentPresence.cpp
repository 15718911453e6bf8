#include "common/AgentPresence.h"

#include "common/TextFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace verolux {

AgentLock::AgentLock(std::filesystem::path programFolder)
    : m_file(std::move(programFolder) / std::string(kAgentLockFile))
{
}

AgentLock::~AgentLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool AgentLock::TryAcquire()
{
    if (m_held)
        return true;
    if (m_fd < 0)
        m_fd = ::open(m_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m_fd < 0)
        return false;
    m_held = ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
    return m_held;
}

bool AgentLock::PreviousInstance()
{
    // A folder where the lock file cannot even be created has no running agent either.
    if (TryAcquire())
        return false;
    return m_fd >= 0;
}

void AgentLock::PublishCaption(std::string_view caption)
{
    if (!m_held)
        return;
    // Rewritten in place through the locked descriptor: a rename would drop the lock's inode.
    if (::ftruncate(m_fd, 0) == 0) {
        ssize_t n = ::pwrite(m_fd, caption.data(), caption.size(), 0);
        (void)n;
    }
}

bool FindAgentWindow(const std::filesystem::path& programFolder, std::string_view caption)
{
    auto file = programFolder / std::string(kAgentLockFile);
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool locked = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
    ::close(fd);
    return locked && ReadWholeFile(file) == caption;
}

} // namespace verolux
