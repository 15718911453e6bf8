#pragma once

#include <regex>
#include <string>
#include <vector>

namespace testsupport {

// Job event texts in short: each event's state, then its code, reason, CUPS job id and HTTP status
// where it has them, in the event's order, colon-separated; events separated by blanks
// ("accepted failed:upload-rejected:500").
inline std::string EventSummary(const std::vector<std::string>& events) {
    static const std::regex kField(R"re("(state|code|reason|cupsJobId|httpStatus)":"?([^",}]*))re");
    std::string out;
    for (const std::string& e : events) {
        out += out.empty() ? "" : " ";
        for (auto m = std::sregex_iterator(e.begin(), e.end(), kField); m != std::sregex_iterator(); ++m)
            out += (m->str(1) == "state" ? "" : ":") + m->str(2);
    }
    return out;
}

} // namespace testsupport
