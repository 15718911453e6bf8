#include "agent/reports/design/UndoStack.h"

namespace verolux::reports::design {

void UndoStack::clear() {
    m_edits.clear();
    m_index = 0;
    m_clean = 0;
}

void UndoStack::push(Edit edit) {
    m_edits.erase(m_edits.begin() + static_cast<long>(m_index), m_edits.end());
    if (m_clean > static_cast<long>(m_index)) m_clean = -1; // the saved state was undone and is gone now
    m_edits.push_back(std::move(edit));
    ++m_index;
    if (m_edits.size() > kMaxSteps) {
        m_edits.erase(m_edits.begin());
        --m_index;
        m_clean = m_clean > 0 ? m_clean - 1 : -1;
    }
}

bool UndoStack::undo(Template& tmpl) {
    if (!canUndo()) return false;
    m_edits[--m_index].revert(tmpl);
    return true;
}

bool UndoStack::redo(Template& tmpl) {
    if (!canRedo()) return false;
    m_edits[m_index++].apply(tmpl);
    return true;
}

} // namespace verolux::reports::design
