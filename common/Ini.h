#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace mINI {

// MyIni.ini of one program folder, shared by the agent and the launcher. Reads never fail (a missing
// file, section or key reads as ""); writes replace the file atomically under an advisory lock, so the
// two programs never lose each other's keys and a crash never leaves a half-written file.
class Settings {
  public:
    explicit Settings(const std::filesystem::path& programFolder);

    std::string ReadIni(std::string_view section, std::string_view key) const;
    // A key or value longer than reading keeps (kMaxValueBytes) is not written: it could never be
    // read back whole, and would only make the file every program rereads grow.
    void WriteIni(std::string_view section, std::string_view key, std::string_view value) const;
    // Removes the key (written like WriteIni; a failure is not reported).
    void DeleteIni(std::string_view section, std::string_view key) const;

    // Writes the keys of an administrator's defaults that this file lacks (see MergeDefaults), in one
    // locked write; false when the file had to change and could not be written.
    bool MergeDefaults(std::string_view defaultsText) const;
    // Writes the values an administrator's policy fixes (see ApplyPolicy) over the user's, in one locked
    // write; false when the file had to change and could not be written.
    bool ApplyPolicy(std::string_view policyText) const;

    const std::filesystem::path& file() const { return m_file; }

  private:
    std::filesystem::path m_file;
};

} // namespace mINI
