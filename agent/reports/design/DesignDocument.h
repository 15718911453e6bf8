#pragma once

#include "agent/reports/design/BandRef.h"
#include "agent/reports/design/Edit.h"
#include "agent/reports/design/UndoStack.h"

#include <cstdint>
#include <string>
#include <vector>

namespace verolux::reports::design {

// The template being designed, what is selected in it, and the steps that changed it. Every change
// goes through an EditBuilder and `commit`, so each one can be undone; the edit functions in
// ItemEdits.h, Arrange.h, StructureEdits.h and StyleEdits.h are built that way.
class DesignDocument {
  public:
    DesignDocument() = default;
    explicit DesignDocument(Template tmpl) : m_t(std::move(tmpl)) {}

    const Template& tmpl() const { return m_t; }
    // Starts over with another template: no steps, nothing selected, clean.
    void reset(Template tmpl);

    // Increases with every change of the template; views compare it to know when to redraw.
    uint64_t generation() const { return m_generation; }

    // --- selection (kept sorted, without duplicates, only existing items) ---
    const std::vector<ItemRef>& selection() const { return m_selection; }
    void select(std::vector<ItemRef> items);
    // The item the user picked last: "same width" and "same height" take its size.
    void select(std::vector<ItemRef> items, ItemRef primary);
    ItemRef primary() const;
    void clearSelection() { select({}); }
    bool isSelected(ItemRef ref) const;
    void selectAll(); // every item of every band
    uint64_t selectionGeneration() const { return m_selectionGeneration; }

    // --- changes ---
    EditBuilder begin() { return EditBuilder(m_t); }
    // Ends a change: a step named `name` when something changed, selecting `after`. False if nothing did.
    bool commit(EditBuilder& builder, std::string name, std::vector<ItemRef> after);
    bool commit(EditBuilder& builder, std::string name) {
        return commit(builder, std::move(name), m_selection);
    }

    bool undo();
    bool redo();
    const UndoStack& steps() const { return m_steps; }

    // The template differs from the one last saved (or loaded).
    bool modified() const { return !m_steps.isClean(); }
    void setModified(bool modified);

  private:
    void touch() { ++m_generation; }

    Template m_t;
    UndoStack m_steps;
    std::vector<ItemRef> m_selection;
    ItemRef m_primary{BandRef{BandSlot::Detail, -2}, -1};
    uint64_t m_generation = 1, m_selectionGeneration = 1;
};

} // namespace verolux::reports::design
