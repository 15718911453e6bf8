#pragma once

#include "common/Ini.h"

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace verolux {

// A request naming a template that is not a plain file name.
class TemplateNameError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What the refresh knows before it acts.
struct RefreshFacts {
    bool fileExists = false;
    std::string localDigest; // MD5Hex of the file, "" when it is missing or unreadable
    std::string storedUrl;   // [fileUrl] repname
    std::string reporturl;
    std::string reportmd5;
};

// What the refresh does: up to two downloads, each with its log line and source record.
struct RefreshPlan {
    bool downloadForSource = false; // other URL than the copy came from, or no copy
    bool downloadForDigest = false; // a digest is expected and the copy's differs (case-sensitive)
    int downloads() const { return int(downloadForSource) + int(downloadForDigest); }
};

// The decisions alone. The digest is the one taken before any download.
RefreshPlan PlanRefresh(const RefreshFacts& facts);

// The local template copies in program folder/report/ and their source records in [fileUrl].
class TemplateStore {
  public:
    using AddLogFn = std::function<void(std::string_view)>;
    using DownloadFn = std::function<bool(const std::string& url, const std::filesystem::path& path)>;

    struct Result {
        std::filesystem::path path;
        bool exists = false;
    };

    TemplateStore(std::filesystem::path templateFolder, const mINI::Settings& settings, AddLogFn addLog,
                  DownloadFn download);

    // Brings the copy of repname up to date and says whether it exists afterwards. Throws
    // TemplateNameError when repname is not a plain file name (nothing is read or written then).
    Result Refresh(const std::string& repname, const std::string& reporturl,
                   const std::string& reportmd5) const;

    const std::filesystem::path& folder() const { return m_folder; }

  private:
    void download(const std::string& repname, const std::string& reporturl,
                  const std::filesystem::path& path) const;

    std::filesystem::path m_folder;
    const mINI::Settings& m_settings;
    AddLogFn m_addLog;
    DownloadFn m_download;
};

// program folder + "report"
std::filesystem::path TemplateFolder(const std::filesystem::path& programFolder);

} // namespace verolux
