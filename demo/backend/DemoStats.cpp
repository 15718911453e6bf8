#include "demo/backend/DemoStats.h"

#include "common/JsonEscape.h"

#include <chrono>
#include <ctime>

namespace demo {

using verolux::JsonQuote;

std::int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string isoTime(std::int64_t ms) {
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char buf[40];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
    char out[48];
    std::snprintf(out, sizeof out, "%s.%03d", buf, static_cast<int>(ms % 1000));
    return out;
}

void DemoStats::countDownload(const std::string& name) {
    std::lock_guard lock(m_mutex);
    ++m_downloads[name];
}

void DemoStats::countReleaseDownload(const std::string& name) {
    std::lock_guard lock(m_mutex);
    ++m_releaseDownloads[name];
}

void DemoStats::addUpload(UploadRecord record) {
    std::lock_guard lock(m_mutex);
    m_uploads.push_back(std::move(record));
}

void DemoStats::addUpdateQuery(UpdateQuery query) {
    std::lock_guard lock(m_mutex);
    m_updateQueries.push_back(std::move(query));
}

void DemoStats::reset() {
    std::lock_guard lock(m_mutex);
    m_downloads.clear();
    m_releaseDownloads.clear();
    m_uploads.clear();
    m_updateQueries.clear();
}

namespace {

std::string countsJson(const std::map<std::string, int>& counts) {
    std::string out = "{";
    bool first = true;
    for (const auto& [name, count] : counts) {
        if (!first) out += ',';
        first = false;
        out += JsonQuote(name) + ':' + std::to_string(count);
    }
    return out + '}';
}

} // namespace

std::string DemoStats::toJson() const {
    std::lock_guard lock(m_mutex);
    std::string out = "{\"downloads\":" + countsJson(m_downloads);
    out += ",\"releaseDownloads\":" + countsJson(m_releaseDownloads);
    out += ",\"uploads\":[";
    for (std::size_t i = 0; i < m_uploads.size(); ++i) {
        const auto& u = m_uploads[i];
        if (i) out += ',';
        out += "{\"path\":" + JsonQuote(u.path) + ",\"st0\":" + JsonQuote(u.reportId) +
               ",\"st2\":" + JsonQuote(u.extra) + ",\"file\":" + JsonQuote(u.file) +
               ",\"kind\":" + JsonQuote(u.kind) + ",\"size\":" + std::to_string(u.size) +
               ",\"md5\":" + JsonQuote(u.md5) + ",\"contentType\":" + JsonQuote(u.contentType) +
               ",\"time\":" + JsonQuote(isoTime(u.timeMs)) + ",\"timeMs\":" + std::to_string(u.timeMs) + '}';
    }
    out += "],\"updateQueries\":[";
    for (std::size_t i = 0; i < m_updateQueries.size(); ++i) {
        const auto& q = m_updateQueries[i];
        if (i) out += ',';
        out += "{\"kind\":" + JsonQuote(q.kind) + ",\"version\":" + JsonQuote(q.version) +
               ",\"separator\":" + (q.hasSeparator ? "true" : "false") +
               ",\"target\":" + JsonQuote(q.target) + ",\"body\":" + JsonQuote(q.body) +
               ",\"contentType\":" + JsonQuote(q.contentType) + ",\"time\":" + JsonQuote(isoTime(q.timeMs)) +
               ",\"timeMs\":" + std::to_string(q.timeMs) + '}';
    }
    return out + "]}";
}

} // namespace demo
