#pragma once

#include "agent/reports/format/DateTime.h"
#include "common/ScalarValue.h"

#include <string>
#include <vector>

namespace verolux::reports {

// What fills a template: values in the order of the template's declared parameters and fields.
struct ReportData {
    std::vector<ScalarValue> parameters;
    std::vector<std::vector<ScalarValue>> rows;
    std::string title;
    format::DateTime now; // the value of {#now}
};

} // namespace verolux::reports
