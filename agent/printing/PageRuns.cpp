#include "agent/printing/PageRuns.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace verolux {
namespace {

constexpr double kSamePaperPt = 1.0;

bool SamePaper(PagePoints a, PagePoints b) {
    const auto near = [](double x, double y) { return std::abs(x - y) <= kSamePaperPt; };
    return (near(a.width, b.width) && near(a.height, b.height)) ||
           (near(a.width, b.height) && near(a.height, b.width));
}

int Number(std::string_view digits) {
    int n = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), n);
    return n;
}

void AppendRange(std::string& out, int first, int last) {
    if (!out.empty()) out += ',';
    out += std::to_string(first);
    if (last > first) out += '-' + std::to_string(last);
}

} // namespace

bool PageSelected(std::string_view pages, int n) {
    if (pages.empty()) return true;
    std::size_t start = 0;
    while (start <= pages.size()) {
        std::size_t comma = pages.find(',', start);
        if (comma == std::string_view::npos) comma = pages.size();
        const std::string_view range = pages.substr(start, comma - start);
        const std::size_t dash = range.find('-');
        const int first = Number(range.substr(0, dash));
        const int last = dash == std::string_view::npos ? first
                         : dash + 1 == range.size()     ? n
                                                        : Number(range.substr(dash + 1));
        if (n >= first && n <= last) return true;
        start = comma + 1;
    }
    return false;
}

std::vector<PageRun> SplitByPaper(const std::vector<PagePoints>& sizes, std::string_view pages) {
    std::vector<PageRun> runs;
    int first = 0, last = 0; // the current range of the last run
    for (int n = 1; n <= int(sizes.size()); ++n) {
        if (!PageSelected(pages, n)) continue;
        const PagePoints size = sizes[std::size_t(n - 1)];
        if (runs.empty() || !SamePaper(runs.back().size, size)) {
            if (!runs.empty()) AppendRange(runs.back().ranges, first, last);
            runs.push_back({"", size});
            first = last = n;
        } else if (n == last + 1) {
            last = n;
        } else {
            AppendRange(runs.back().ranges, first, last);
            first = last = n;
        }
    }
    if (!runs.empty()) AppendRange(runs.back().ranges, first, last);
    return runs;
}

} // namespace verolux
