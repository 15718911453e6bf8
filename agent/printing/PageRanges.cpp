#include "agent/printing/PageRanges.h"

#include <charconv>

namespace verolux {

bool ParsePositive(std::string_view digits, int* value) {
    if (digits.empty() || digits.size() > 6) return false;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), *value);
    return ec == std::errc() && end == digits.data() + digits.size() && *value >= 1;
}

std::optional<std::vector<PageRange>> ReadPageRanges(std::string_view pages) {
    if (pages.empty()) return std::nullopt;
    std::vector<PageRange> ranges;
    std::size_t start = 0;
    while (start <= pages.size()) {
        std::size_t comma = pages.find(',', start);
        if (comma == std::string_view::npos) comma = pages.size();
        const std::string_view text = pages.substr(start, comma - start);
        const std::size_t dash = text.find('-');
        PageRange range;
        if (dash == std::string_view::npos) {
            if (!ParsePositive(text, &range.first)) return std::nullopt;
            range.last = range.first;
        } else {
            if (!ParsePositive(text.substr(0, dash), &range.first)) return std::nullopt;
            const std::string_view tail = text.substr(dash + 1);
            if (!tail.empty() && (!ParsePositive(tail, &range.last) || range.last < range.first))
                return std::nullopt;
        }
        ranges.push_back(range);
        start = comma + 1;
    }
    return ranges;
}

} // namespace verolux
