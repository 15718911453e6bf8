#include "agent/reports/layout/BandInstance.h"

#include "agent/reports/layout/LayoutConstants.h"
#include "agent/reports/layout/TextWrap.h"

#include <algorithm>
#include <cmath>

namespace verolux::reports {

void BandInstance::clear() {
    items.clear();
    text.clear();
    pageCounts.clear();
    lineCounts.clear();
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
    lineCounts.push_back(static_cast<uint32_t>(CountLines(itemText)));
}

namespace {

bool cuttable(const PageItem& item) {
    return item.kind == ItemKind::Text || item.kind == ItemKind::Rect;
}

} // namespace

double SplitRestHeight(const BandInstance& band, double limit) {
    double height = band.height - limit;
    for (const PageItem& item : band.items)
        if (item.y < limit - kLayoutEpsilon && item.y + item.h > limit + kLayoutEpsilon && !cuttable(item))
            height = std::max(height, double(item.h)); // goes whole to the top of the rest
    return height;
}

BandSplit SplitBand(BandInstance band, double limit, const Template& tmpl, TextMeasurer& measurer) {
    BandSplit split;
    BandInstance &head = split.head, &rest = split.rest;
    std::vector<PageCountMark> headCounts;
    // The rest keeps the band's text: its items point into it.
    auto toRest = [&](PageItem item, const PageCountMark* counts, size_t countCount, uint32_t dropped,
                      uint32_t lines) {
        for (size_t k = 0; k < countCount; ++k)
            rest.pageCounts.push_back(
                PageCountMark{static_cast<uint32_t>(rest.items.size()), counts[k].offset - dropped});
        rest.items.push_back(item);
        rest.lineCounts.push_back(lines);
    };
    const double restHeight = SplitRestHeight(band, limit);
    double grownHeight = restHeight;
    size_t mark = 0;
    for (size_t i = 0; i < band.items.size(); ++i) {
        const PageItem& item = band.items[i];
        const std::string_view text = band.textOf(item);
        const size_t firstMark = mark;
        while (mark < band.pageCounts.size() && band.pageCounts[mark].item == i)
            ++mark;
        const PageCountMark* counts = band.pageCounts.data() + firstMark;
        const size_t countCount = mark - firstMark;
        const uint32_t lines = i < band.lineCounts.size() ? band.lineCounts[i] : uint32_t(CountLines(text));
        if (item.y + item.h <= limit + kLayoutEpsilon) {
            head.add(item, text, counts, countCount);
        } else if (item.y >= limit - kLayoutEpsilon) {
            PageItem moved = item;
            moved.y -= float(limit);
            toRest(moved, counts, countCount, 0, lines);
        } else if (cuttable(item)) {
            const TextStyle& style = tmpl.styles[size_t(item.style)];
            const double padding = style.padding;
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
            size_t k = 0;
            headCounts.clear();
            for (; k < countCount && fit > 0 && counts[k].offset <= cut; ++k)
                headCounts.push_back(counts[k]);
            PageItem top = item, bottom = item;
            top.h = float(limit - item.y);
            bottom.y = 0;
            bottom.h = float(item.y + item.h - limit);
            bottom.textOffset = item.textOffset + uint32_t(std::min(restStart, text.size()));
            bottom.textLength = item.textLength - uint32_t(std::min(restStart, text.size()));
            // Lines the head took make room in the rest; without them (a line taller than the page) the
            // rest only shrinks by the cut, so the report still moves on.
            const uint32_t restLines = fit <= 0 ? lines
                                       : bottom.textLength > 0
                                           ? lines - std::min<uint32_t>(lines, uint32_t(fit))
                                           : 1;
            if (fit > 0 && bottom.textLength > 0 && item.kind == ItemKind::Text && style.wordWrap &&
                style.canGrow) {
                const double need = restLines * lineHeight + 2 * padding;
                if (need > bottom.h + kLayoutEpsilon) {
                    bottom.h = float(need);
                    grownHeight = std::max(grownHeight, need);
                }
            }
            head.add(top, text.substr(0, cut), headCounts.data(), headCounts.size());
            toRest(bottom, counts + k, countCount - k, uint32_t(restStart), restLines);
        } else {
            PageItem moved = item;
            moved.y = 0;
            toRest(moved, counts, countCount, 0, lines);
        }
    }
    head.height = limit;
    rest.height = grownHeight;
    if (grownHeight > restHeight + kLayoutEpsilon)
        for (PageItem& item : rest.items) // cells that reached the bottom stay a row with the grown text
            if (cuttable(item) && std::abs(double(item.y + item.h) - restHeight) < kLayoutEpsilon)
                item.h = float(grownHeight - item.y);
    rest.text = std::move(band.text);
    return split;
}

} // namespace verolux::reports
