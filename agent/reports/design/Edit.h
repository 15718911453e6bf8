#pragma once

#include "agent/reports/design/BandRef.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace verolux::reports::design {

// One undoable step. It holds a copy of each part of the template the step changed (a band, the
// styles, the fields, ...) in the state the template is not in: applying and reverting both swap
// those parts with the template's, forwards to apply and backwards to revert. A step therefore costs
// the parts it touched, never the whole template, and undo restores them exactly.
class Edit {
  public:
    struct Part {
        virtual ~Part() = default;
        virtual void swap(Template& tmpl) = 0;
        virtual bool changed(const Template& tmpl) const = 0;
    };

    Edit() = default;
    Edit(std::string name, std::vector<std::unique_ptr<Part>> parts);
    Edit(Edit&&) noexcept = default;
    Edit& operator=(Edit&&) noexcept = default;

    const std::string& name() const { return m_name; }
    // What was selected before and after the step: undo and redo select it again.
    std::vector<ItemRef> selectionBefore, selectionAfter;
    void apply(Template& tmpl);
    void revert(Template& tmpl);

  private:
    std::string m_name;
    std::vector<std::unique_ptr<Part>> m_parts;
};

// Records the parts of a template before an edit changes them. Ask for each part before changing it;
// asking twice returns the same live part. `finish` returns the step, or nothing when every recorded
// part ended as it began.
class EditBuilder {
  public:
    explicit EditBuilder(Template& tmpl) : m_t(tmpl) {}

    Template& tmpl() { return m_t; }
    Band& band(BandRef ref); // the band must exist (FindBand != nullptr)
    std::vector<TextStyle>& styles();
    std::vector<Declared>& parameters();
    std::vector<Declared>& fields();
    std::vector<Group>& groups();
    PageSetup& page();
    std::string& title();
    std::string& printer();
    // Every band and the styles: for edits that rewrite the whole template (a rename with its references).
    void allBandsAndStyles();

    bool empty() const { return m_parts.empty(); }
    std::optional<Edit> finish(std::string name);

  private:
    template <class T, class Locate> T& record(int key, Locate locate);

    Template& m_t;
    std::vector<std::unique_ptr<Edit::Part>> m_parts;
    std::vector<std::pair<int, BandRef>> m_keys; // what is already recorded
};

} // namespace verolux::reports::design
