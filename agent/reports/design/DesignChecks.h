#pragma once

#include "agent/reports/design/BandRef.h"

#include <optional>
#include <string>
#include <vector>

namespace verolux::reports::design {

// Something in a design that will not print as the author expects.
struct DesignProblem {
    enum class Kind : uint8_t { OutsideBand, OutsidePage, UnknownName, Overlap, DetailTooTall };
    Kind kind;
    BandRef band;
    std::optional<ItemRef> item; // the item to select when the problem is clicked
    std::string message;         // for the user (Chinese, UTF-8)
};

// Items reaching out of their band or past the right margin, references to names that are not
// declared, text items that overlap in a band, a detail band taller than the room on a page.
std::vector<DesignProblem> CheckDesign(const Template& tmpl);

} // namespace verolux::reports::design
