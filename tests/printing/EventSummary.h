#pragma once

#include <string>
#include <vector>

namespace testsupport {

// Job event texts in short: each event's state, then its code, reason, CUPS job id and HTTP status
// where it has them, colon-separated; events separated by blanks ("accepted failed:upload-rejected:500").
inline std::string EventSummary(const std::vector<std::string>& events) {
    std::string out;
    for (const std::string& e : events) {
        const auto field = [&e](const char* name) {
            const std::string key = std::string("\"") + name + "\":";
            const auto at = e.find(key);
            if (at == std::string::npos) return std::string();
            const auto start = at + key.size() + (e[at + key.size()] == '"' ? 1 : 0);
            return e.substr(start, e.find_first_of("\",}", start) - start);
        };
        out += (out.empty() ? "" : " ") + field("state");
        for (const char* extra : {"code", "reason", "cupsJobId", "httpStatus"})
            if (!field(extra).empty()) out += ":" + field(extra);
    }
    return out;
}

} // namespace testsupport
