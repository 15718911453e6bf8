#include "common/Ini.h"

#include "common/IniDefaults.h"
#include "common/IniText.h"
#include "common/TextFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>

namespace mINI {
namespace {

// Holds an exclusive flock on a side file for the time of one read-modify-write. The lock is on a
// file of its own because the settings file itself is replaced by a rename.
class WriteLock {
  public:
    explicit WriteLock(const std::filesystem::path& lockFile)
        : m_fd(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
        if (m_fd >= 0) ::flock(m_fd, LOCK_EX);
    }
    ~WriteLock() {
        if (m_fd >= 0) ::close(m_fd); // closing releases the lock
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

  private:
    int m_fd;
};

} // namespace

Settings::Settings(const std::filesystem::path& programFolder) : m_file(programFolder / "MyIni.ini") {}

std::string Settings::ReadIni(std::string_view section, std::string_view key) const {
    return LookupValue(verolux::ReadWholeFile(m_file), section, key);
}

void Settings::WriteIni(std::string_view section, std::string_view key, std::string_view value) const {
    // Failures are not reported: a folder that cannot be written simply keeps the old value.
    if (section.size() > kMaxValueBytes || key.size() > kMaxValueBytes || value.size() > kMaxValueBytes)
        return;
    WriteLock lock(m_file.parent_path() / ".MyIni.ini.lock");
    std::string updated = ReplaceValue(verolux::ReadWholeFile(m_file), section, key, value);
    verolux::ReplaceFileAtomically(m_file, updated);
}

bool Settings::MergeDefaults(std::string_view defaultsText) const {
    WriteLock lock(m_file.parent_path() / ".MyIni.ini.lock");
    const std::string current = verolux::ReadWholeFile(m_file);
    const std::string merged = mINI::MergeDefaults(current, defaultsText);
    return merged == current || verolux::ReplaceFileAtomically(m_file, merged);
}

bool Settings::ApplyPolicy(std::string_view policyText) const {
    WriteLock lock(m_file.parent_path() / ".MyIni.ini.lock");
    const std::string current = verolux::ReadWholeFile(m_file);
    const std::string merged = mINI::ApplyPolicy(current, policyText);
    return merged == current || verolux::ReplaceFileAtomically(m_file, merged);
}

void Settings::DeleteIni(std::string_view section, std::string_view key) const {
    WriteLock lock(m_file.parent_path() / ".MyIni.ini.lock");
    const std::string text = verolux::ReadWholeFile(m_file);
    const std::string updated = RemoveKey(text, section, key);
    if (updated != text) verolux::ReplaceFileAtomically(m_file, updated);
}

} // namespace mINI
