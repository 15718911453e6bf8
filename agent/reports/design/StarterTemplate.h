#pragma once

#include "agent/reports/model/Template.h"

namespace verolux::reports::design {

// What "New" opens: an A4 page with a title in the page header, an empty column header and detail
// band, page numbers in the page footer, and the styles a list usually needs (title, head, cell).
Template StarterTemplate();

} // namespace verolux::reports::design
