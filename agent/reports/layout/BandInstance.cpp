#include "agent/reports/layout/BandInstance.h"

#include "agent/reports/layout/LayoutConstants.h"

#include <algorithm>
#include <cmath>

namespace verolux::reports {

void BandInstance::clear() {
    items.clear();
    text.clear();
    pageCounts.clear();
    height = 0;
}

void BandInstance::add(PageItem item, std::string_view itemText, const PageCountMark* counts,
                       size_t countCount) {
    item.textOffset = static_cast<uint32_t>(text.size());
    item.textLength = static_cast<uint32_t>(itemText.size());
    for (size_t i = 0; i < countCount; ++i)
        pageCounts.push_back(PageCountMark{static_cast<uint32_t>(items.size()), counts[i].offset});
    text.append(itemText);
    items.push_back(item);
}

BandSplit SplitBand(const BandInstance& band, double limit, const Template& tmpl, TextMeasurer& measurer) {
    BandSplit split;
    BandInstance &head = split.head, &rest = split.rest;
    size_t mark = 0;
    std::vector<PageCountMark> headCounts, restCounts;
    for (size_t i = 0; i < band.items.size(); ++i) {
        const PageItem& item = band.items[i];
        const std::string_view text = band.textOf(item);
        const size_t firstMark = mark;
        while (mark < band.pageCounts.size() && band.pageCounts[mark].item == i)
            ++mark;
        const PageCountMark* counts = band.pageCounts.data() + firstMark;
        const size_t countCount = mark - firstMark;
        if (item.y + item.h <= limit + kLayoutEpsilon) {
            head.add(item, text, counts, countCount);
        } else if (item.y >= limit - kLayoutEpsilon) {
            PageItem moved = item;
            moved.y -= float(limit);
            rest.add(moved, text, counts, countCount);
        } else if (item.kind == ItemKind::Text || item.kind == ItemKind::Rect) {
            const double padding = tmpl.styles[size_t(item.style)].padding;
            const double lineHeight = measurer.lineHeight(item.style);
            const int fit =
                std::max(0, int(std::floor((limit - item.y - 2 * padding) / lineHeight + kLayoutEpsilon)));
            // The head keeps the first `fit` lines; the '\n' after them belongs to neither part.
            size_t cut = 0, restStart = 0;
            if (fit > 0) {
                cut = restStart = text.size();
                size_t pos = 0;
                for (int line = 0; line < fit; ++line) {
                    const size_t nl = text.find('\n', pos);
                    if (nl == std::string_view::npos) break;
                    if (line == fit - 1) cut = nl, restStart = nl + 1;
                    pos = nl + 1;
                }
            }
            headCounts.clear();
            restCounts.clear();
            for (size_t k = 0; k < countCount; ++k) {
                if (fit > 0 && counts[k].offset <= cut)
                    headCounts.push_back(counts[k]);
                else
                    restCounts.push_back(PageCountMark{0, uint32_t(counts[k].offset - restStart)});
            }
            PageItem top = item, bottom = item;
            top.h = float(limit - item.y);
            bottom.y = 0;
            bottom.h = float(item.y + item.h - limit);
            head.add(top, text.substr(0, cut), headCounts.data(), headCounts.size());
            rest.add(bottom, text.substr(std::min(restStart, text.size())), restCounts.data(),
                     restCounts.size());
        } else {
            PageItem moved = item;
            moved.y = 0;
            rest.add(moved, text, counts, countCount);
        }
    }
    head.height = limit;
    rest.height = band.height - limit;
    for (const PageItem& it : rest.items)
        rest.height = std::max(rest.height, double(it.y + it.h));
    return split;
}

} // namespace verolux::reports
