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
    bool downloadForDigest = false; // a digest is expected and the copy's differs (letter case aside)
    int downloads() const { return int(downloadForSource) + int(downloadForDigest); }
};

// The decisions alone. The digest is the one taken before any download.
RefreshPlan PlanRefresh(const RefreshFacts& facts);

// The local template copies in program folder/report/ and their source records in [fileUrl].
class TemplateStore {
  public:
    using AddLogFn = std::function<void(std::string_view)>;
    // Starts a download and calls done(ok) once it is over, on the thread that started it (at once,
    // or later from the event loop).
    using DownloadDone = std::function<void(bool ok)>;
    using DownloadFn =
        std::function<void(const std::string& url, const std::filesystem::path& path, DownloadDone done)>;

    struct Result {
        std::filesystem::path path;
        bool exists = false;
    };
    using RefreshDone = std::function<void(const Result&)>;

    TemplateStore(std::filesystem::path templateFolder, const mINI::Settings& settings, AddLogFn addLog,
                  DownloadFn download);

    // Brings the copy of repname up to date, its downloads one after the other, and then tells done
    // whether it exists. Throws TemplateNameError when repname is not a plain file name or longer
    // than a settings key may be (nothing is read or written then).
    void Refresh(const std::string& repname, const std::string& reporturl, const std::string& reportmd5,
                 RefreshDone done) const;

    const std::filesystem::path& folder() const { return m_folder; }

  private:
    // The downloads still to run, then done.
    void download(int left, const std::string& repname, const std::string& reporturl,
                  const std::filesystem::path& path, RefreshDone done) const;

    std::filesystem::path m_folder;
    const mINI::Settings& m_settings;
    AddLogFn m_addLog;
    DownloadFn m_download;
};

// program folder + "report"
std::filesystem::path TemplateFolder(const std::filesystem::path& programFolder);

} // namespace verolux
