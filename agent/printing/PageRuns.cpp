#include "agent/printing/PageRuns.h"

#include <algorithm>
#include <cmath>

namespace verolux {
namespace {

constexpr double kSamePaperPt = 1.0;

bool SamePaper(PagePoints a, PagePoints b) {
    const auto near = [](double x, double y) { return std::abs(x - y) <= kSamePaperPt; };
    return (near(a.width, b.width) && near(a.height, b.height)) ||
           (near(a.width, b.height) && near(a.height, b.width));
}

void AppendRange(std::string& out, int first, int last) {
    if (!out.empty()) out += ',';
    out += std::to_string(first);
    if (last > first) out += '-' + std::to_string(last);
}

} // namespace

bool PageSelected(const std::optional<std::vector<PageRange>>& ranges, int n) {
    if (!ranges) return true; // "" (or, never here, a list that is none): every page
    for (const PageRange& r : *ranges)
        if (n >= r.first && (r.last == 0 || n <= r.last)) return true;
    return false;
}

std::vector<PageRun> SplitByPaper(const std::vector<PagePoints>& sizes, std::string_view pages) {
    std::vector<PageRun> runs;
    int first = 0, last = 0; // the current range of the last run
    const auto ranges = ReadPageRanges(pages);
    for (int n = 1; n <= int(sizes.size()); ++n) {
        if (!PageSelected(ranges, n)) continue;
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
