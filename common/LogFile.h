#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace verolux {

// Local date and time as the log file and the log pane stamp their lines: "2026/12/6 13:05:09".
std::string GeneralDateTime(std::time_t when);
std::string GeneralDateTimeNow();

// MyLog.txt of the agent's program folder: only ever appended to, one CR LF line per entry.
class LogFile {
  public:
    explicit LogFile(const std::filesystem::path& programFolder);

    // Appends "<date time> <message>\r\n". Throws std::runtime_error when the file cannot be written,
    // so the calling procedure's own failure handling applies.
    void WriteLog(std::string_view message) const;
    // Several lines with one open and one write, as many WriteLog calls in a row would add them.
    void WriteLines(const std::vector<std::string_view>& messages) const;

    const std::filesystem::path& file() const { return m_file; }

  private:
    std::filesystem::path m_file;
};

} // namespace verolux
