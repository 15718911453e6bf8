#pragma once

#include "agent/reports/design/BandRef.h"
#include "agent/reports/design/DesignDocument.h"
#include "common/ScalarValue.h"

#include <optional>
#include <string>
#include <vector>

namespace verolux::reports::design {

// Something in a design that will not print as the author expects.
struct DesignProblem {
    enum class Kind : uint8_t {
        OutsideBand,
        OutsidePage,
        UnknownName,
        Overlap,
        DetailTooTall,
        Expression,    // cannot be read or means nothing: prints nothing
        TextArithmetic // computes with a field declared as text: `field` can be made a number
    };
    Kind kind;
    BandRef band;
    std::optional<ItemRef> item; // the item to select when the problem is clicked
    std::string message;         // for the user (Chinese, UTF-8)
    std::string field = {};      // TextArithmetic: the field
};

// Items reaching out of their band or past the right margin, references to names that are not
// declared, expressions that cannot be read (with the character where), arithmetic or sums over text
// fields, text items that overlap in a band, a detail band taller than the room on a page.
std::vector<DesignProblem> CheckDesign(const Template& tmpl);

// The fix of a TextArithmetic problem: the field becomes a number of the type its values suggest
// (`column`: its sample values; integer or decimal, decimal when they suggest no number). One step.
bool MakeFieldNumber(DesignDocument& doc, const std::string& field, const std::vector<ScalarValue>& column);

} // namespace verolux::reports::design
