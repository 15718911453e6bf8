#include "common/Ini.h"

#include "common/IniDefaults.h"
#include "common/IniText.h"
#include "common/TextFile.h"

namespace mINI {

using WriteLock = verolux::FileWriteLock;

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
