#include "common/LogFile.h"

#include "common/IniText.h"
#include "common/TextFile.h"

#include <sys/stat.h>

#include <cstdio>
#include <stdexcept>

namespace verolux {

std::string GeneralDateTime(std::time_t when) {
    std::tm tm{};
    localtime_r(&when, &tm);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d/%d/%d %d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

std::string GeneralDateTimeNow() {
    return GeneralDateTime(std::time(nullptr));
}

std::string LogExcerpt(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return std::string(text);
    return mINI::CutUtf8(text, maxBytes) + "... (" + std::to_string(text.size()) + " bytes)";
}

LogFile::LogFile(const std::filesystem::path& programFolder, std::uintmax_t maxBytes)
    : m_file(programFolder / "MyLog.txt"), m_maxBytes(maxBytes) {}

void LogFile::WriteLog(std::string_view message) const {
    WriteLines({message});
}

void LogFile::WriteLines(const std::vector<std::string_view>& messages) const {
    if (messages.empty()) return;
    const std::string stamp = GeneralDateTimeNow();
    std::string text;
    for (std::string_view m : messages)
        text.append(stamp).append(" ").append(m).append("\r\n");
    // One write call in append mode, so lines of two writers never interleave.
    std::FILE* f = OpenFile(m_file, "ab");
    if (!f) throw std::runtime_error("cannot open " + m_file.string());
    struct stat st {};
    if (::fstat(::fileno(f), &st) == 0 && st.st_size > 0 &&
        static_cast<std::uintmax_t>(st.st_size) + text.size() > m_maxBytes) {
        std::fclose(f);
        std::filesystem::path previous = m_file;
        previous.replace_filename("MyLog.1.txt");
        RenameOver(m_file, previous); // when it fails, the file simply goes on growing
        f = OpenFile(m_file, "ab");
        if (!f) throw std::runtime_error("cannot open " + m_file.string());
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) throw std::runtime_error("cannot write " + m_file.string());
}

} // namespace verolux
