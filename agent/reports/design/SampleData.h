#pragma once

#include "agent/reports/model/Template.h"
#include "common/ScalarValue.h"

#include <vector>

namespace verolux::reports::design {

// Made-up values that look like real ones, for the live preview when no request file gives rows:
// by each field's declared type, with the fields a group is keyed by changing every few rows so that
// the groups show (outer groups change less often than inner ones).
std::vector<std::vector<ScalarValue>> SampleRows(const Template& tmpl, int count);
// Each parameter's default, else a value of its type.
std::vector<ScalarValue> SampleParameters(const Template& tmpl);

} // namespace verolux::reports::design
