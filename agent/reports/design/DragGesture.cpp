#include "agent/reports/design/DragGesture.h"

#include "agent/reports/design/ItemEdits.h"
#include "agent/reports/design/StructureEdits.h"

#include <algorithm>

namespace verolux::reports::design {

namespace {

void addEdges(std::vector<double>& out, double from, double size) {
    out.push_back(from);
    out.push_back(from + size / 2);
    out.push_back(from + size);
}

} // namespace

DragGesture DragGesture::Move(ItemRef grabbed, PointMm press) {
    DragGesture g;
    g.m_kind = Kind::Move;
    g.m_grabbed = grabbed;
    g.m_press = press;
    return g;
}

DragGesture DragGesture::Resize(const Template& tmpl, ItemRef grabbed, Handle handle, PointMm press) {
    DragGesture g;
    g.m_kind = Kind::Resize;
    g.m_grabbed = grabbed;
    g.m_handle = handle;
    g.m_press = press;
    if (const Item* it = FindItem(tmpl, grabbed)) g.m_resized = {it->x, it->y, it->w, it->h};
    return g;
}

DragGesture DragGesture::BandEdge(const Template& tmpl, BandRef band, PointMm press) {
    DragGesture g;
    g.m_kind = Kind::BandEdge;
    g.m_edgeBand = band;
    g.m_press = press;
    if (const Band* b = FindBand(tmpl, band)) g.m_startHeight = g.m_edgeHeight = b->height;
    return g;
}

void DragGesture::move(const DesignDocument& doc, const DesignLayout& layout, PointMm at, bool free,
                       const SnapSettings& snap) {
    switch (m_kind) {
    case Kind::Move:
        moveStep(doc, layout, at, free, snap);
        break;
    case Kind::Resize:
        resizeStep(doc, layout, at, free, snap);
        break;
    case Kind::BandEdge: {
        double h = std::max(0.0, m_startHeight + at.y - m_press.y);
        if (snap.grid && !free) h = SnapToGrid(h, snap.gridStep);
        m_edgeHeight = h;
        break;
    }
    case Kind::None:
        break;
    }
}

void DragGesture::moveStep(const DesignDocument& doc, const DesignLayout& layout, PointMm at, bool free,
                           const SnapSettings& snap) {
    double dx = at.x - m_press.x, dy = at.y - m_press.y;
    m_guides.clear();
    const Item* grabbed = FindItem(doc.tmpl(), m_grabbed);
    const PlacedBand* home = layout.find(m_grabbed.band);
    if (!grabbed || !home) return;
    const RectMm box = ItemBox(*grabbed);
    // Which band the grabbed item's top would land in.
    const double topOnPage = home->top + box.y + dy;
    const std::optional<BandRef> target = layout.bandAt(topOnPage);
    m_dropBand = target && *target != m_grabbed.band ? target : std::nullopt;
    const PlacedBand* land = m_dropBand ? layout.find(*m_dropBand) : home;
    if (!free) {
        // Edges of the items that stay: left, centre and right of any band; top, centre and bottom of
        // the band it lands in.
        std::vector<double> xs{0, layout.contentWidth}, ys{0, land->height};
        for (const PlacedBand& b : layout.bands) {
            const Band& band = *FindBand(doc.tmpl(), b.ref);
            for (size_t i = 0; i < band.items.size(); ++i) {
                if (doc.isSelected({b.ref, int(i)})) continue;
                const RectMm o = ItemBox(band.items[i]);
                addEdges(xs, o.x, o.w);
                if (b.ref == land->ref) addEdges(ys, o.y, o.h);
            }
        }
        const double x = box.x + dx, y = topOnPage - land->top;
        const SnapShift sx = SnapAxis({x, x + box.w / 2, x + box.w}, xs, snap);
        const SnapShift sy = SnapAxis({y, y + box.h / 2, y + box.h}, ys, snap);
        dx += sx.shift;
        dy += sy.shift;
        if (sx.guide) m_guides.push_back({true, layout.left + *sx.guide});
        if (sy.guide) m_guides.push_back({false, land->top + *sy.guide});
    }
    // Nothing goes left of the margin or above its band.
    double minX = box.x, minY = box.y;
    for (const ItemRef& ref : doc.selection()) {
        if (const Item* it = FindItem(doc.tmpl(), ref)) {
            minX = std::min(minX, ItemBox(*it).x);
            if (!m_dropBand && ref.band == m_grabbed.band) minY = std::min(minY, ItemBox(*it).y);
        }
    }
    m_dx = std::max(dx, -minX);
    m_dy = m_dropBand ? dy : std::max(dy, -minY);
}

void DragGesture::resizeStep(const DesignDocument& doc, const DesignLayout& layout, PointMm at, bool free,
                             const SnapSettings& snap) {
    const Item* it = FindItem(doc.tmpl(), m_grabbed);
    const PlacedBand* b = layout.find(m_grabbed.band);
    if (!it || !b) return;
    double x = at.x - layout.left, y = at.y - b->top;
    m_guides.clear();
    if (!free) {
        std::vector<double> xs{0, layout.contentWidth}, ys{0, b->height};
        for (const PlacedBand& pb : layout.bands) {
            const Band& band = *FindBand(doc.tmpl(), pb.ref);
            for (size_t i = 0; i < band.items.size(); ++i) {
                if (ItemRef{pb.ref, int(i)} == m_grabbed) continue;
                const RectMm o = ItemBox(band.items[i]);
                addEdges(xs, o.x, o.w);
                if (pb.ref == b->ref) addEdges(ys, o.y, o.h);
            }
        }
        if (m_handle != Handle::Top && m_handle != Handle::Bottom) {
            const SnapShift sx = SnapAxis({x}, xs, snap);
            x += sx.shift;
            if (sx.guide) m_guides.push_back({true, layout.left + *sx.guide});
        }
        if (m_handle != Handle::Left && m_handle != Handle::Right) {
            const SnapShift sy = SnapAxis({y}, ys, snap);
            y += sy.shift;
            if (sy.guide) m_guides.push_back({false, b->top + *sy.guide});
        }
    }
    m_resized = DragHandle({it->x, it->y, it->w, it->h}, m_handle, std::max(0.0, x), std::max(0.0, y));
}

RectMm DragGesture::liveGeometry(const DesignDocument& doc, ItemRef ref, const Item& it) const {
    if (m_kind == Kind::Resize && ref == m_grabbed) return m_resized;
    RectMm g{it.x, it.y, it.w, it.h};
    if (m_kind == Kind::Move && doc.isSelected(ref)) {
        g.x += m_dx;
        g.y += m_dy;
    }
    return g;
}

bool DragGesture::release(DesignDocument& doc, const DesignLayout& layout) {
    const Kind kind = m_kind;
    m_kind = Kind::None;
    m_guides.clear();
    bool changed = false;
    switch (kind) {
    case Kind::Move:
        if (m_dropBand) {
            const PlacedBand* target = layout.find(*m_dropBand);
            std::vector<RectMm> boxes;
            for (const ItemRef& ref : doc.selection()) {
                const Item* it = FindItem(doc.tmpl(), ref);
                const PlacedBand* from = layout.find(ref.band);
                if (!it || !from || !target) return false;
                boxes.push_back(ItemBox(*it).translated(m_dx, from->top + m_dy - target->top));
            }
            changed = MoveItemsToBand(doc, doc.selection(), *m_dropBand, boxes);
        } else {
            changed = MoveItems(doc, doc.selection(), m_dx, m_dy);
        }
        break;
    case Kind::Resize:
        changed = SetItemGeometry(doc, {{m_grabbed, m_resized}}, "调整大小");
        break;
    case Kind::BandEdge:
        changed = SetBandHeight(doc, m_edgeBand, m_edgeHeight);
        break;
    case Kind::None:
        break;
    }
    m_dx = m_dy = 0;
    m_dropBand.reset();
    return changed;
}

} // namespace verolux::reports::design
