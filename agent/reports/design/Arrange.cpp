#include "agent/reports/design/Arrange.h"

#include "agent/reports/design/DesignLayout.h"
#include "agent/reports/design/ItemEdits.h"

#include <algorithm>

namespace verolux::reports::design {

namespace {

std::vector<std::pair<ItemRef, RectMm>> boxesOf(const DesignDocument& doc,
                                                const std::vector<ItemRef>& items) {
    std::vector<std::pair<ItemRef, RectMm>> out;
    for (const ItemRef& ref : items)
        if (const Item* it = FindItem(doc.tmpl(), ref)) out.emplace_back(ref, ItemBox(*it));
    return out;
}

} // namespace

bool AlignItems(DesignDocument& doc, const std::vector<ItemRef>& items, Alignment alignment) {
    auto boxes = boxesOf(doc, items);
    if (boxes.size() < 2) return false;
    RectMm all = boxes.front().second;
    for (const auto& [ref, box] : boxes)
        all = all.united(box);
    for (auto& [ref, box] : boxes) {
        switch (alignment) {
        case Alignment::Lefts:
            box.x = all.x;
            break;
        case Alignment::Rights:
            box.x = all.right() - box.w;
            break;
        case Alignment::Tops:
            box.y = all.y;
            break;
        case Alignment::Bottoms:
            box.y = all.bottom() - box.h;
            break;
        case Alignment::HorizontalCentres:
            box.x = all.centerX() - box.w / 2;
            break;
        case Alignment::VerticalCentres:
            box.y = all.centerY() - box.h / 2;
            break;
        }
    }
    return SetItemBoxes(doc, boxes, "对齐");
}

bool MakeSameSize(DesignDocument& doc, const std::vector<ItemRef>& items, bool width, bool height) {
    const Item* primary = FindItem(doc.tmpl(), doc.primary());
    auto boxes = boxesOf(doc, items);
    if (!primary || boxes.size() < 2) return false;
    const RectMm model = ItemBox(*primary);
    for (auto& [ref, box] : boxes) {
        if (width) box.w = model.w;
        if (height) box.h = model.h;
    }
    return SetItemBoxes(doc, boxes, width && height ? "相同大小" : width ? "相同宽度" : "相同高度");
}

bool Distribute(DesignDocument& doc, const std::vector<ItemRef>& items, bool horizontally) {
    auto boxes = boxesOf(doc, items);
    if (boxes.size() < 3) return false;
    auto start = [&](const RectMm& b) { return horizontally ? b.x : b.y; };
    auto size = [&](const RectMm& b) { return horizontally ? b.w : b.h; };
    std::stable_sort(boxes.begin(), boxes.end(),
                     [&](const auto& a, const auto& b) { return start(a.second) < start(b.second); });
    double span = start(boxes.back().second) + size(boxes.back().second) - start(boxes.front().second);
    double total = 0;
    for (const auto& [ref, box] : boxes)
        total += size(box);
    const double gap = (span - total) / double(boxes.size() - 1);
    double at = start(boxes.front().second);
    for (auto& [ref, box] : boxes) {
        (horizontally ? box.x : box.y) = at;
        at += size(box) + gap;
    }
    return SetItemBoxes(doc, boxes, "均匀分布");
}

} // namespace verolux::reports::design
