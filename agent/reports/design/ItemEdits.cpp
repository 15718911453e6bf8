#include "agent/reports/design/ItemEdits.h"

#include "agent/reports/design/DesignLayout.h"

#include <algorithm>
#include <map>

namespace verolux::reports::design {

namespace {

std::map<BandRef, std::vector<int>> byBand(const Template& t, const std::vector<ItemRef>& items) {
    std::map<BandRef, std::vector<int>> out;
    for (const ItemRef& r : items)
        if (FindItem(t, r)) out[r.band].push_back(r.index);
    for (auto& [band, list] : out) {
        std::sort(list.begin(), list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
    }
    return out;
}

// An item copied into the same template keeps a style of its own if it had an inline one, so that
// changing the copy's look leaves the original alone.
void ownInlineStyle(EditBuilder& b, Item& item) {
    if (item.style < 0 || size_t(item.style) >= b.tmpl().styles.size()) item.style = 0;
    if (!b.tmpl().styles[size_t(item.style)].name.empty()) return;
    std::vector<TextStyle>& styles = b.styles();
    styles.push_back(styles[size_t(item.style)]);
    item.style = static_cast<int>(styles.size() - 1);
}

} // namespace

bool MoveItems(DesignDocument& doc, const std::vector<ItemRef>& items, double dx, double dy) {
    if (dx == 0 && dy == 0) return false;
    EditBuilder b = doc.begin();
    for (const auto& [ref, list] : byBand(doc.tmpl(), items)) {
        Band& band = b.band(ref);
        for (int i : list) {
            Item& it = band.items[size_t(i)];
            it.x = RoundMm(std::max(0.0, it.x + dx));
            it.y = RoundMm(std::max(0.0, it.y + dy));
        }
    }
    return doc.commit(b, "移动");
}

bool MoveItemsToBand(DesignDocument& doc, const std::vector<ItemRef>& items, BandRef target,
                     const std::vector<RectMm>& boxes) {
    if (!FindBand(doc.tmpl(), target) || boxes.size() != items.size()) return false;
    EditBuilder b = doc.begin();
    std::vector<Item> moved;
    for (size_t k = 0; k < items.size(); ++k) {
        const Item* it = FindItem(doc.tmpl(), items[k]);
        if (!it) return false;
        moved.push_back(*it);
        const RectMm g = GeometryForBox(*it, boxes[k]);
        moved.back().x = RoundMm(std::max(0.0, g.x));
        moved.back().y = RoundMm(std::max(0.0, g.y));
    }
    // Take them out last to first, so the indices still to go stay valid.
    auto groups = byBand(doc.tmpl(), items);
    for (auto g = groups.rbegin(); g != groups.rend(); ++g) {
        Band& band = b.band(g->first);
        for (auto i = g->second.rbegin(); i != g->second.rend(); ++i)
            band.items.erase(band.items.begin() + *i);
    }
    Band& dest = b.band(target);
    dest.present = true;
    std::vector<ItemRef> after;
    for (Item& it : moved) {
        after.push_back({target, static_cast<int>(dest.items.size())});
        dest.items.push_back(std::move(it));
    }
    return doc.commit(b, "移动", after);
}

RectMm GeometryForBox(const Item& item, const RectMm& box) {
    if (item.kind != ItemKind::Line) return box;
    RectMm g = box;
    if (item.w < 0) g.x = box.x + box.w, g.w = -box.w;
    if (item.h < 0) g.y = box.y + box.h, g.h = -box.h;
    return g;
}

bool SetItemGeometry(DesignDocument& doc, const std::vector<std::pair<ItemRef, RectMm>>& geometry,
                     const std::string& name) {
    EditBuilder b = doc.begin();
    for (const auto& [ref, g] : geometry) {
        if (!FindItem(doc.tmpl(), ref)) continue;
        Item& it = b.band(ref.band).items[size_t(ref.index)];
        const bool line = it.kind == ItemKind::Line;
        // Only a line may run left or up; a box never has a negative size or position.
        it.x = RoundMm(std::max(0.0, g.x));
        it.y = RoundMm(std::max(0.0, g.y));
        it.w = RoundMm(line ? g.w : std::max(0.0, g.w));
        it.h = RoundMm(line ? g.h : std::max(0.0, g.h));
    }
    return doc.commit(b, name);
}

bool SetItemBoxes(DesignDocument& doc, const std::vector<std::pair<ItemRef, RectMm>>& boxes,
                  const std::string& name) {
    std::vector<std::pair<ItemRef, RectMm>> geometry;
    for (const auto& [ref, box] : boxes)
        if (const Item* it = FindItem(doc.tmpl(), ref)) geometry.emplace_back(ref, GeometryForBox(*it, box));
    return SetItemGeometry(doc, geometry, name);
}

bool UpdateItems(DesignDocument& doc, const std::vector<ItemRef>& items, const std::string& name,
                 const std::function<void(Item&)>& change) {
    EditBuilder b = doc.begin();
    for (const auto& [ref, list] : byBand(doc.tmpl(), items)) {
        Band& band = b.band(ref);
        for (int i : list)
            change(band.items[size_t(i)]);
    }
    return doc.commit(b, name);
}

ItemRef InsertItem(DesignDocument& doc, BandRef band, Item item) {
    std::vector<ItemRef> refs = InsertItems(doc, band, {std::move(item)}, "插入");
    return refs.empty() ? ItemRef{} : refs.front();
}

std::vector<ItemRef> InsertItems(DesignDocument& doc, BandRef band, const std::vector<Item>& items,
                                 const std::string& name) {
    if (!FindBand(doc.tmpl(), band) || items.empty()) return {};
    EditBuilder b = doc.begin();
    std::vector<ItemRef> after;
    for (Item it : items) {
        ownInlineStyle(b, it);
        // The file keeps items right of and below their band's corner.
        it.x = RoundMm(std::max(0.0, it.x));
        it.y = RoundMm(std::max(0.0, it.y));
        Band& dest = b.band(band);
        dest.present = true;
        after.push_back({band, static_cast<int>(dest.items.size())});
        dest.items.push_back(std::move(it));
    }
    doc.commit(b, name, after);
    return after;
}

bool DeleteItems(DesignDocument& doc, const std::vector<ItemRef>& items) {
    EditBuilder b = doc.begin();
    for (const auto& [ref, list] : byBand(doc.tmpl(), items)) {
        Band& band = b.band(ref);
        for (auto i = list.rbegin(); i != list.rend(); ++i)
            band.items.erase(band.items.begin() + *i);
    }
    return doc.commit(b, "删除", {});
}

bool DuplicateItems(DesignDocument& doc, const std::vector<ItemRef>& items, double offset) {
    EditBuilder b = doc.begin();
    std::vector<ItemRef> after;
    for (const auto& [ref, list] : byBand(doc.tmpl(), items)) {
        for (int i : list) {
            Item copy = FindBand(doc.tmpl(), ref)->items[size_t(i)];
            // Across only: the copy stays in its row (and in its band).
            copy.x = RoundMm(copy.x + offset);
            ownInlineStyle(b, copy);
            Band& band = b.band(ref);
            after.push_back({ref, static_cast<int>(band.items.size())});
            band.items.push_back(std::move(copy));
        }
    }
    return doc.commit(b, "复制", after);
}

namespace {

bool reorder(DesignDocument& doc, const std::vector<ItemRef>& items, bool front) {
    EditBuilder b = doc.begin();
    std::vector<ItemRef> after;
    for (const auto& [ref, list] : byBand(doc.tmpl(), items)) {
        Band& band = b.band(ref);
        std::vector<Item> picked, rest;
        for (size_t i = 0; i < band.items.size(); ++i)
            (std::binary_search(list.begin(), list.end(), int(i)) ? picked : rest)
                .push_back(std::move(band.items[i]));
        // Front: the others first, then the picked ones; back: the other way round.
        std::vector<Item>& first = front ? rest : picked;
        std::vector<Item>& second = front ? picked : rest;
        const int start = front ? static_cast<int>(rest.size()) : 0;
        band.items.clear();
        for (auto& it : first)
            band.items.push_back(std::move(it));
        for (auto& it : second)
            band.items.push_back(std::move(it));
        for (size_t k = 0; k < list.size(); ++k)
            after.push_back({ref, start + static_cast<int>(k)});
    }
    return doc.commit(b, front ? "置于顶层" : "置于底层", after);
}

} // namespace

bool BringToFront(DesignDocument& doc, const std::vector<ItemRef>& items) {
    return reorder(doc, items, true);
}

bool SendToBack(DesignDocument& doc, const std::vector<ItemRef>& items) {
    return reorder(doc, items, false);
}

Item NewItem(ItemKind kind, double x, double y) {
    Item it;
    it.kind = kind;
    it.x = RoundMm(x);
    it.y = RoundMm(y);
    switch (kind) {
    case ItemKind::Text:
        it.w = 30, it.h = 6, it.text = "文本";
        break;
    case ItemKind::Line:
        it.w = 40, it.h = 0;
        break;
    case ItemKind::Rect:
        it.w = 30, it.h = 15;
        break;
    case ItemKind::Image:
        it.w = 30, it.h = 20;
        break;
    case ItemKind::Barcode:
        it.w = 40, it.h = 15, it.symbology = "code128", it.text = "123456789";
        break;
    }
    return it;
}

} // namespace verolux::reports::design
