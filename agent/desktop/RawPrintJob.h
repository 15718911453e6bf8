#pragma once

#include "agent/printing/JobTracker.h"
#include "agent/printing/PageMessage.h"

#include <functional>

namespace verolux {

// Carries out a raw job: "accepted", then "spooled" with the scheduler's job id, or "failed"
// (printer-not-found when the queue does not exist, print-failed when CUPS does not take the job).
// The bytes go to the named queue alone.
void PrintRaw(const RawPrint& raw, const std::string& jobId,
              const std::function<void(const JobStep&)>& report);

} // namespace verolux
