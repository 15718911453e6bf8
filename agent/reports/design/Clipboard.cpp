#include "agent/reports/design/Clipboard.h"

#include "agent/reports/design/DesignLayout.h"
#include "agent/reports/design/ItemEdits.h"
#include "agent/reports/design/ModelEquality.h"
#include "agent/reports/model/TemplateFile.h"

#include <algorithm>

namespace verolux::reports::design {

std::string CopyItems(const Template& tmpl, const std::vector<ItemRef>& items) {
    Template clip;
    clip.styles = tmpl.styles;
    clip.detail.present = true;
    std::vector<ItemRef> sorted = items;
    std::sort(sorted.begin(), sorted.end());
    for (const ItemRef& ref : sorted) {
        if (const Item* it = FindItem(tmpl, ref)) {
            clip.detail.items.push_back(*it);
            clip.detail.height = std::max(clip.detail.height, ItemBox(*it).bottom());
        }
    }
    // Only the styles the items use travel along, with the styles they build on.
    std::vector<bool> used(clip.styles.size(), false);
    used[0] = true;
    auto use = [&](int s) {
        for (size_t steps = 0; s >= 0 && size_t(s) < used.size() && steps <= used.size(); ++steps) {
            used[size_t(s)] = true;
            const std::string& base = clip.styles[size_t(s)].base;
            s = base.empty() ? -1 : clip.findStyle(base);
        }
    };
    for (const Item& it : clip.detail.items)
        use(it.style);
    std::vector<int> remap(clip.styles.size(), 0);
    std::vector<TextStyle> kept;
    for (size_t i = 0; i < clip.styles.size(); ++i) {
        if (!used[i]) continue;
        remap[i] = static_cast<int>(kept.size());
        kept.push_back(clip.styles[i]);
    }
    for (Item& it : clip.detail.items)
        it.style = it.style >= 0 && size_t(it.style) < remap.size() ? remap[size_t(it.style)] : 0;
    clip.styles = std::move(kept);
    clip.page = tmpl.page;
    return WriteTemplate(clip);
}

PasteResult PasteItems(DesignDocument& doc, std::string_view json, BandRef band, double offset) {
    PasteResult result;
    TemplateLoadResult clip = ParseTemplate(json);
    if (!clip) {
        result.error = "剪贴板里不是报表项目：" + clip.error;
        return result;
    }
    if (!FindBand(doc.tmpl(), band)) {
        result.error = "没有可以粘贴的带区";
        return result;
    }
    const Template& from = *clip.tmpl;
    std::vector<Item> items = from.detail.items;
    if (items.empty()) {
        result.error = "剪贴板里没有报表项目";
        return result;
    }
    EditBuilder b = doc.begin();
    // Styles: by name when the document has one of that name, else brought along.
    std::vector<int> remap(from.styles.size(), 0);
    for (size_t i = 0; i < from.styles.size(); ++i) {
        const TextStyle& st = from.styles[i];
        if (st.name.empty()) continue; // inline: copied per item below
        int found = b.tmpl().findStyle(st.name);
        if (found < 0) {
            b.styles().push_back(st);
            found = static_cast<int>(b.tmpl().styles.size() - 1);
        }
        remap[i] = found;
    }
    for (Item& it : items) {
        const size_t s = it.style >= 0 && size_t(it.style) < from.styles.size() ? size_t(it.style) : 0;
        if (from.styles[s].name.empty()) {
            b.styles().push_back(from.styles[s]);
            it.style = static_cast<int>(b.tmpl().styles.size() - 1);
        } else {
            it.style = remap[s];
        }
    }
    // A style brought along builds on the document's style of its base's name.
    if (!b.empty()) ResolveStyles(b.tmpl()); // only styles are recorded so far
    // Pasting where the originals still are would hide them: step aside until nothing coincides.
    const std::vector<Item>& existing = FindBand(b.tmpl(), band)->items;
    auto coincides = [&] {
        return std::all_of(items.begin(), items.end(), [&](const Item& it) {
            return std::any_of(existing.begin(), existing.end(), [&](const Item& e) {
                return e.x == it.x && e.y == it.y && e.w == it.w && e.h == it.h;
            });
        });
    };
    for (int guard = 0; offset > 0 && guard < 50 && coincides(); ++guard)
        for (Item& it : items)
            it.x = RoundMm(it.x + offset);
    // Items from a taller band move up together until they fit in this one (never above its top).
    const double height = FindBand(b.tmpl(), band)->height;
    double top = items.front().y, bottom = 0;
    for (const Item& it : items) {
        top = std::min(top, ItemBox(it).y);
        bottom = std::max(bottom, ItemBox(it).bottom());
    }
    if (const double up = std::min(top, bottom - height); height > 0 && up > 0)
        for (Item& it : items)
            it.y = RoundMm(it.y - up);
    Band& dest = b.band(band);
    if (!dest.present) dest.present = true, dest.height = std::max(dest.height, 10.0);
    for (Item& it : items) {
        result.items.push_back({band, static_cast<int>(dest.items.size())});
        dest.items.push_back(std::move(it));
    }
    doc.commit(b, "粘贴", result.items);
    return result;
}

} // namespace verolux::reports::design
