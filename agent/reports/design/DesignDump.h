#pragma once

#include "agent/reports/model/Template.h"

#include <string>

namespace verolux::reports::design {

// A readable account of a design for tests: page, declarations, groups, styles by name, and every
// band with its items, one per line:
//   detail 6 mm
//     [0] text 0,0 24x6 cell "{orderNo}"
std::string DescribeDesign(const Template& tmpl);

} // namespace verolux::reports::design
