#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace demo {

struct UploadRecord {
    std::string path;     // request path, e.g. /upload/pdf
    std::string reportId; // st0 as sent
    std::string extra;    // st2 as sent
    std::string file;     // stored file name in the uploads folder
    std::string kind;     // "pdf" or "template"
    std::size_t size = 0; // decoded bytes
    std::string md5;      // of the decoded bytes
    std::string contentType;
    std::int64_t timeMs = 0;
};

struct UpdateQuery {
    std::string target; // request target as it arrived, still percent-encoded
    std::string kind;
    std::string version;
    bool hasSeparator = false;
    std::string body;
    std::string contentType;
    std::int64_t timeMs = 0;
};

// What the backend has seen, for tests and the demo page. Thread-safe.
class DemoStats {
  public:
    void countDownload(const std::string& name);
    void countReleaseDownload(const std::string& name);
    void addUpload(UploadRecord record);
    void addUpdateQuery(UpdateQuery query);
    void reset();

    std::string toJson() const;

  private:
    mutable std::mutex m_mutex;
    std::map<std::string, int> m_downloads;
    std::map<std::string, int> m_releaseDownloads;
    std::vector<UploadRecord> m_uploads;
    std::vector<UpdateQuery> m_updateQueries;
};

std::int64_t nowMs();
std::string isoTime(std::int64_t ms);

} // namespace demo
