#include "agent/reports/design/ReferenceDrop.h"

#include "agent/reports/design/ItemEdits.h"
#include "agent/reports/design/References.h"
#include "agent/reports/design/SampleData.h"
#include "agent/reports/design/StarterTemplate.h"

#include <algorithm>
#include <cmath>

namespace verolux::reports::design {

namespace {

constexpr double kMinWidth = 8;   // mm: a one-character column still takes a click
constexpr double kSlack = 1;      // mm beyond the text, for fonts that print a little wider
constexpr double kTextHeight = 6; // mm: an item outside the table, as a new text item

int styleNamed(const Template& t, const char* name) {
    const int s = t.findStyle(name);
    return s >= 0 ? s : 0;
}

double up(double v, double grid) {
    return grid > 0 ? RoundMm(std::ceil(v / grid - 1e-9) * grid) : RoundMm(v);
}

// The widest of the reference as written and a typical value of what it refers to.
double neededWidth(const Template& t, int style, const std::string& text, const TextWidth& width) {
    const TextStyle& st = t.styles[size_t(style)];
    double w = width(st, text);
    for (const Reference& r : FindReferences(text)) {
        if (r.kind != Reference::Kind::Plain && r.kind != Reference::Kind::Parameter) continue;
        for (const auto* list : {&t.fields, &t.parameters})
            for (const Declared& d : *list)
                if (d.name == r.name)
                    w = std::max(w,
                                 width(st, FormatSample(st.format.empty() ? d.format : st.format, d.type)));
    }
    return w + 2 * st.padding + kSlack;
}

bool overlapsAcross(const std::vector<Item>& items, double x, double w) {
    return std::any_of(items.begin(), items.end(), [&](const Item& it) {
        const RectMm b = ItemBox(it);
        return b.x < x + w - 1e-9 && x < b.right() - 1e-9;
    });
}

double rightmost(const std::vector<Item>& items) {
    double r = 0;
    for (const Item& it : items)
        r = std::max(r, ItemBox(it).right());
    return r;
}

} // namespace

std::vector<ItemRef> DropReference(DesignDocument& doc, BandRef band, double x, double y,
                                   const ReferenceDrop& drop, const TextWidth& width, double grid) {
    const Template& t = doc.tmpl();
    const Band* target = FindBand(t, band);
    if (!target || drop.text.empty()) return {};
    const auto snap = [grid](double v) {
        return grid > 0 ? RoundMm(std::round(v / grid) * grid) : RoundMm(v);
    };
    if (band.slot != BandSlot::Detail) {
        Item item = NewItem(ItemKind::Text, 0, 0);
        item.text = drop.text;
        item.w = up(std::max(kMinWidth, neededWidth(t, 0, drop.text, width)), grid);
        item.h = target->height > 0 ? std::min(kTextHeight, target->height) : kTextHeight;
        item.x = snap(std::max(0.0, x));
        item.y = snap(std::clamp(y, 0.0, std::max(0.0, target->height - item.h)));
        return InsertItems(doc, band, {item}, "插入字段");
    }

    const BandRef headRef{BandSlot::ColumnHeader};
    const Band& head = t.columnHeader;
    Item cell = NewItem(ItemKind::Text, 0, 0), title = NewItem(ItemKind::Text, 0, 0);
    cell.style = styleNamed(t, "cell");
    title.style = styleNamed(t, "head");
    cell.text = drop.text;
    title.text = drop.title.empty() ? drop.text : drop.title;
    const double w = up(std::max({kMinWidth, neededWidth(t, cell.style, cell.text, width),
                                  neededWidth(t, title.style, title.text, width)}),
                        grid);
    double at = snap(std::max(0.0, x));
    const std::vector<Item> none;
    const std::vector<Item>& above = head.present ? head.items : none;
    if (overlapsAcross(target->items, at, w) || overlapsAcross(above, at, w))
        at = std::max(rightmost(target->items), rightmost(above));
    cell.x = title.x = at;
    cell.y = title.y = 0;
    cell.h = target->height > 0 ? target->height : kStarterRowHeight;
    title.h = head.present && head.height > 0 ? head.height : kStarterHeadHeight;
    cell.w = title.w = w;

    EditBuilder b = doc.begin();
    Band& headBand = b.band(headRef);
    if (!headBand.present) {
        headBand.present = true;
        headBand.height = title.h;
    }
    const ItemRef titleRef{headRef, int(headBand.items.size())};
    headBand.items.push_back(std::move(title));
    Band& detail = b.band(band);
    const ItemRef cellRef{band, int(detail.items.size())};
    detail.items.push_back(std::move(cell));
    doc.commit(b, "插入字段", {titleRef, cellRef});
    doc.select({titleRef, cellRef}, cellRef);
    return {cellRef, titleRef};
}

} // namespace verolux::reports::design
