#pragma once

#include "agent/reports/design/Edit.h"

#include <string>
#include <vector>

namespace verolux::reports::design {

// The steps done and undone, and the step at which the template was last saved (its clean state).
class UndoStack {
  public:
    // Oldest steps are dropped beyond this; see docs/designer.md.
    static constexpr size_t kMaxSteps = 500;

    void clear();
    void push(Edit edit); // already applied; drops the steps undone before it
    bool canUndo() const { return m_index > 0; }
    bool canRedo() const { return m_index < m_edits.size(); }
    std::string undoName() const { return canUndo() ? m_edits[m_index - 1].name() : std::string(); }
    std::string redoName() const { return canRedo() ? m_edits[m_index].name() : std::string(); }
    bool undo(Template& tmpl);
    bool redo(Template& tmpl);
    size_t count() const { return m_edits.size(); }
    size_t index() const { return m_index; }
    const Edit& edit(size_t i) const { return m_edits[i]; }

    bool isClean() const { return m_clean == static_cast<long>(m_index); }
    void setClean() { m_clean = static_cast<long>(m_index); }
    void setDirty() { m_clean = -1; }

  private:
    std::vector<Edit> m_edits;
    size_t m_index = 0; // steps [0, m_index) are applied
    long m_clean = 0;   // -1: no reachable state is clean
};

} // namespace verolux::reports::design
