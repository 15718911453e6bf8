#pragma once

#include "agent/reports/model/Template.h"

namespace verolux::reports::design {

inline constexpr const char* kStarterTitle = "报表标题";
inline constexpr double kStarterHeadHeight = 7, kStarterRowHeight = 6; // mm

// What "New" opens: an A4 page with a title in the page header (the parameter `title`, defaulting to the
// report's title), an empty column header and detail band, page numbers in the page footer, and the
// styles a list usually needs (title, head, cell).
Template StarterTemplate();

} // namespace verolux::reports::design
