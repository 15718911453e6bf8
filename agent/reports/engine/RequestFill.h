#pragma once

#include "common/JsonReader.h"

namespace verolux::reports {

class Report;

// Fills a report whose template is loaded from a print request, the one way every caller does it:
// each parameter from the top-level key of its name (a missing key gives the empty value; the key
// kExtensionKey belongs to the agent and fills no parameter), one record per `repdata` element with
// each field from the element's key of its name, in array order, and the title from `repname`.
// Throws JsonError when `repdata` is missing, no array or longer than kMaxRequestRows.
void FillFromRequest(Report& report, const JsonDocument& request);

} // namespace verolux::reports
