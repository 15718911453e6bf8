#pragma once

#include "agent/reports/model/Template.h"

namespace verolux::reports {

// For the reader, once a template is read: of the texts of known keys it noted, keeps only those the
// writer would spell differently, each with the writer's spelling of the value read, so that saving
// writes the file's own text again as long as that value is unchanged.
void KeepFileSpellings(Template& tmpl);

} // namespace verolux::reports
