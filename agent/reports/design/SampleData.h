#pragma once

#include "agent/reports/model/Template.h"
#include "common/ScalarValue.h"

#include <string>
#include <vector>

namespace verolux::reports::design {

// Made-up values that look like real ones, for the live preview when no request file gives rows:
// by each field's declared type, with the fields a group is keyed by changing every few rows so that
// the groups show (outer groups change less often than inner ones), and the fields an EAN-13 barcode
// shows holding valid codes.
std::vector<std::vector<ScalarValue>> SampleRows(const Template& tmpl, int count);
// Each parameter's default, else a value of its type.
std::vector<ScalarValue> SampleParameters(const Template& tmpl);

// What a display format makes of a typical value, for the inspector: "#,##0.00" → "12,345.68". `type`
// is a declared type ("currency"); empty guesses it from the format (dates, yes/no texts, numbers).
std::string FormatSample(const std::string& format, const std::string& type);

// Display formats offered for a type (empty: for any type), the commonest first.
std::vector<std::string> CommonFormats(const std::string& type);

} // namespace verolux::reports::design
