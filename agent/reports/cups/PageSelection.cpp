#include "agent/reports/cups/PageSelection.h"

#include <algorithm>
#include <charconv>

namespace verolux::cups {
namespace {

// A page number at the start of `text`, consumed; 0 when there is none.
int Number(std::string_view& text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    int n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || n < 1) return 0;
    text.remove_prefix(std::size_t(end - text.data()));
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    return n;
}

} // namespace

std::vector<int> SelectPages(std::string_view ranges, int pageCount, bool reverse) {
    std::vector<bool> chosen(std::size_t(std::max(pageCount, 0)), ranges.empty());
    while (!ranges.empty()) {
        const std::size_t comma = ranges.find(',');
        std::string_view part = ranges.substr(0, comma);
        ranges = comma == std::string_view::npos ? std::string_view() : ranges.substr(comma + 1);
        const int first = Number(part);
        if (first == 0) return {};
        int last = first;
        if (!part.empty() && part.front() == '-') {
            part.remove_prefix(1);
            last = part.find_first_not_of(' ') == std::string_view::npos ? pageCount : Number(part);
            if (last == 0 && !part.empty()) return {};
        }
        if (!part.empty() || last < first) return {};
        for (int p = first; p <= std::min(last, pageCount); ++p)
            chosen[std::size_t(p - 1)] = true;
    }
    std::vector<int> pages;
    for (int p = 0; p < pageCount; ++p)
        if (chosen[std::size_t(p)]) pages.push_back(p);
    if (reverse) std::reverse(pages.begin(), pages.end());
    return pages;
}

} // namespace verolux::cups
