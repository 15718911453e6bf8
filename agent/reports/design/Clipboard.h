#pragma once

#include "agent/reports/design/DesignDocument.h"
#include "agent/reports/design/EditResult.h"

#include <string>
#include <string_view>
#include <vector>

namespace verolux::reports::design {

// Items travel between designers (also in other programs) as a small template: the items in its
// detail band, the named styles they use, their inline styles in place. Any template pastes its
// detail band the same way.
std::string CopyItems(const Template& tmpl, const std::vector<ItemRef>& items);

struct PasteResult {
    std::vector<ItemRef> items; // the pasted items, selected
    std::string error;          // why nothing was pasted
};

// Pastes into `band`. Named styles the document lacks are added; a named style it has already is used
// as it is there. Items that would land exactly on their originals move `offset` mm to the right so both
// show; items reaching below the band move up together as far as it takes to fit (not above its top).
PasteResult PasteItems(DesignDocument& doc, std::string_view json, BandRef band, double offset);

} // namespace verolux::reports::design
