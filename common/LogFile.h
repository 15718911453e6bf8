#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace verolux {

// Local date and time as the log file and the log pane stamp their lines: "2026/12/6 13:05:09".
std::string GeneralDateTime(std::time_t when);
std::string GeneralDateTimeNow();

// Past this size MyLog.txt becomes MyLog.1.txt (replacing the one before) and a new file begins.
inline constexpr std::uintmax_t kMaxLogBytes = 10u << 20;
// A request written to the log for an error keeps this much of its text.
inline constexpr std::size_t kMaxLoggedRequestBytes = 16u << 10;

// text, or its first maxBytes (whole UTF-8 characters) followed by "... (N bytes)".
std::string LogExcerpt(std::string_view text, std::size_t maxBytes = kMaxLoggedRequestBytes);

// MyLog.txt of the agent's program folder: appended to, one CR LF line per entry, rotated once it
// would grow past maxBytes.
class LogFile {
  public:
    explicit LogFile(const std::filesystem::path& programFolder, std::uintmax_t maxBytes = kMaxLogBytes);

    // Appends "<date time> <message>\r\n". Throws std::runtime_error when the file cannot be written,
    // so the calling procedure's own failure handling applies.
    void WriteLog(std::string_view message) const;
    // Several lines with one open and one write, as many WriteLog calls in a row would add them.
    void WriteLines(const std::vector<std::string_view>& messages) const;

    const std::filesystem::path& file() const { return m_file; }

  private:
    std::filesystem::path m_file;
    std::uintmax_t m_maxBytes;
};

} // namespace verolux
