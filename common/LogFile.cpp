#include "common/LogFile.h"

#include <cstdio>
#include <stdexcept>

namespace verolux {

std::string GeneralDateTime(std::time_t when)
{
    std::tm tm{};
    localtime_r(&when, &tm);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d/%d/%d %d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

std::string GeneralDateTimeNow() { return GeneralDateTime(std::time(nullptr)); }

LogFile::LogFile(std::filesystem::path programFolder) : m_file(std::move(programFolder) / "MyLog.txt") {}

void LogFile::WriteLog(std::string_view message) const
{
    std::string line = GeneralDateTimeNow();
    line.append(" ").append(message).append("\r\n");
    // One write call per line in append mode, so lines of two writers never interleave.
    std::FILE* f = std::fopen(m_file.c_str(), "ab");
    if (!f)
        throw std::runtime_error("cannot open " + m_file.string());
    bool ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok)
        throw std::runtime_error("cannot write " + m_file.string());
}

} // namespace verolux
