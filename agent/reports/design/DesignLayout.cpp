#include "agent/reports/design/DesignLayout.h"

#include <algorithm>
#include <cmath>

namespace verolux::reports::design {

const PlacedBand* DesignLayout::find(BandRef ref) const {
    for (const PlacedBand& b : bands)
        if (b.ref == ref) return &b;
    return nullptr;
}

std::optional<BandRef> DesignLayout::bandAt(double y) const {
    std::optional<BandRef> found;
    for (const PlacedBand& b : bands) {
        if (y < b.top) break;
        found = b.ref;
        if (y < b.bottom()) break;
    }
    return found;
}

RectMm DesignLayout::toPage(BandRef ref, const RectMm& r) const {
    const PlacedBand* b = find(ref);
    return r.translated(left, b ? b->top : top);
}

DesignLayout LayOutDesign(const Template& tmpl, std::optional<std::pair<BandRef, double>> heightOverride) {
    DesignLayout out;
    const PageSetup& page = tmpl.page;
    out.paperWidth = page.pageWidth();
    out.paperHeight = page.pageHeight();
    out.left = page.marginLeft;
    out.top = page.marginTop;
    out.contentWidth = page.pageWidth() - page.marginLeft - page.marginRight;
    double y = page.marginTop;
    for (BandRef ref : PresentBands(tmpl)) {
        const double h = heightOverride && heightOverride->first == ref ? heightOverride->second
                                                                        : FindBand(tmpl, ref)->height;
        if (ref.slot == BandSlot::PageFooter) y = std::max(y, out.paperHeight - page.marginBottom - h);
        out.bands.push_back({ref, y, h});
        y += h;
    }
    out.sheetHeight = std::max(out.paperHeight, y + page.marginBottom);
    return out;
}

RectMm ItemBox(const Item& item) {
    return RectMm{item.x, item.y, item.w, item.h}.normalized();
}

namespace {

double distanceToSegment(double px, double py, double x1, double y1, double x2, double y2) {
    const double dx = x2 - x1, dy = y2 - y1;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((px - x1) * dx + (py - y1) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(px - (x1 + t * dx), py - (y1 + t * dy));
}

} // namespace

std::optional<ItemRef> ItemAt(const Template& tmpl, const DesignLayout& layout, double x, double y,
                              double slop) {
    // Bands do not overlap, but an item may reach out of its band: look through all of them, the
    // band drawn last first.
    for (auto b = layout.bands.rbegin(); b != layout.bands.rend(); ++b) {
        const Band* band = FindBand(tmpl, b->ref);
        for (int i = static_cast<int>(band->items.size()) - 1; i >= 0; --i) {
            const Item& it = band->items[size_t(i)];
            const double bx = x - layout.left, by = y - b->top;
            if (it.kind == ItemKind::Line) {
                if (distanceToSegment(bx, by, it.x, it.y, it.x + it.w, it.y + it.h) <= slop)
                    return ItemRef{b->ref, i};
            } else if (ItemBox(it).contains(bx, by)) {
                return ItemRef{b->ref, i};
            }
        }
    }
    return std::nullopt;
}

std::vector<ItemRef> ItemsIn(const Template& tmpl, const DesignLayout& layout, const RectMm& area,
                             bool touching) {
    std::vector<ItemRef> out;
    const RectMm a = area.normalized();
    for (const PlacedBand& b : layout.bands) {
        const Band* band = FindBand(tmpl, b.ref);
        for (size_t i = 0; i < band->items.size(); ++i) {
            RectMm box = layout.toPage(b.ref, ItemBox(band->items[i]));
            const bool inside =
                box.x >= a.x && box.right() <= a.right() && box.y >= a.y && box.bottom() <= a.bottom();
            // A zero-height line touches the area when it crosses it.
            const bool touches =
                box.x <= a.right() && a.x <= box.right() && box.y <= a.bottom() && a.y <= box.bottom();
            if (touching ? touches : inside) out.push_back({b.ref, static_cast<int>(i)});
        }
    }
    return out;
}

std::vector<ItemRef> ReadingOrder(const Template& tmpl, const DesignLayout& layout) {
    std::vector<ItemRef> out;
    for (const PlacedBand& b : layout.bands) {
        const auto& items = FindBand(tmpl, b.ref)->items;
        std::vector<int> order(items.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = int(i);
        std::stable_sort(order.begin(), order.end(), [&](int l, int r) {
            const RectMm a = ItemBox(items[size_t(l)]), c = ItemBox(items[size_t(r)]);
            return a.y != c.y ? a.y < c.y : a.x < c.x;
        });
        for (int i : order)
            out.push_back({b.ref, i});
    }
    return out;
}

std::optional<BandRef> BandEdgeAt(const DesignLayout& layout, double y, double slop) {
    std::optional<BandRef> best;
    double bestDistance = slop;
    for (const PlacedBand& b : layout.bands) {
        const double d = std::abs(y - b.bottom());
        if (d <= bestDistance) {
            best = b.ref;
            bestDistance = d;
        }
    }
    return best;
}

} // namespace verolux::reports::design
