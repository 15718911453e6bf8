#include "agent/reports/design/DesignDocument.h"

#include <algorithm>

namespace verolux::reports::design {

void DesignDocument::reset(Template tmpl) {
    m_t = std::move(tmpl);
    m_steps.clear();
    m_selection.clear();
    ++m_selectionGeneration;
    touch();
}

void DesignDocument::select(std::vector<ItemRef> items) {
    std::sort(items.begin(), items.end());
    items.erase(std::unique(items.begin(), items.end()), items.end());
    std::erase_if(items, [&](const ItemRef& r) { return FindItem(m_t, r) == nullptr; });
    if (items == m_selection) return;
    m_selection = std::move(items);
    ++m_selectionGeneration;
}

void DesignDocument::select(std::vector<ItemRef> items, ItemRef primary) {
    m_primary = primary;
    select(std::move(items));
}

ItemRef DesignDocument::primary() const {
    if (isSelected(m_primary) || m_selection.empty()) return m_primary;
    return m_selection.front();
}

bool DesignDocument::isSelected(ItemRef ref) const {
    return std::binary_search(m_selection.begin(), m_selection.end(), ref);
}

void DesignDocument::selectAll() {
    std::vector<ItemRef> all;
    for (BandRef ref : PresentBands(m_t)) {
        const int n = static_cast<int>(FindBand(m_t, ref)->items.size());
        for (int i = 0; i < n; ++i)
            all.push_back({ref, i});
    }
    select(std::move(all));
}

bool DesignDocument::commit(EditBuilder& builder, std::string name, std::vector<ItemRef> after) {
    std::optional<Edit> edit = builder.finish(std::move(name));
    if (!edit) {
        select(std::move(after));
        return false;
    }
    edit->selectionBefore = m_selection;
    select(std::move(after));
    edit->selectionAfter = m_selection;
    m_steps.push(std::move(*edit));
    touch();
    return true;
}

bool DesignDocument::undo() {
    if (!m_steps.canUndo()) return false;
    std::vector<ItemRef> before = m_steps.edit(m_steps.index() - 1).selectionBefore;
    m_steps.undo(m_t);
    touch();
    select(std::move(before));
    return true;
}

bool DesignDocument::redo() {
    if (!m_steps.canRedo()) return false;
    std::vector<ItemRef> after = m_steps.edit(m_steps.index()).selectionAfter;
    m_steps.redo(m_t);
    touch();
    select(std::move(after));
    return true;
}

void DesignDocument::setModified(bool modified) {
    if (modified)
        m_steps.setDirty();
    else
        m_steps.setClean();
}

} // namespace verolux::reports::design
