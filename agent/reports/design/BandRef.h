#pragma once

#include "agent/reports/model/Template.h"

#include <compare>
#include <string>
#include <vector>

namespace verolux::reports::design {

// Which band: one of the report's own bands, or a group's header or footer (then `group` is its index).
using BandSlot = BandKind;

struct BandRef {
    BandSlot slot = BandSlot::Detail;
    int group = -1; // group bands only
    friend auto operator<=>(const BandRef&, const BandRef&) = default;
};

// One item of a band, by its place in the band's list (later items are drawn on top).
struct ItemRef {
    BandRef band;
    int index = 0;
    friend auto operator<=>(const ItemRef&, const ItemRef&) = default;
};

// nullptr when the band does not exist (a group index out of range). Absent bands are returned too.
Band* FindBand(Template& tmpl, BandRef ref);
const Band* FindBand(const Template& tmpl, BandRef ref);
const Item* FindItem(const Template& tmpl, ItemRef ref);
Item* FindItem(Template& tmpl, ItemRef ref);

// Every band, present or not, in the order the design shows them top to bottom: report header, page
// header, column header, group headers outermost first, detail, group footers innermost first, report
// footer, page footer.
std::vector<BandRef> AllBands(const Template& tmpl);
// The present ones only.
std::vector<BandRef> PresentBands(const Template& tmpl);

// "页眉", "分组头：customer", ... (UTF-8).
std::string BandLabel(const Template& tmpl, BandRef ref);
// "pageHeader", "groups[0].header", ...: the band's place in the file, for dumps and messages.
std::string BandPath(BandRef ref);

} // namespace verolux::reports::design
