#pragma once

#include <string>

namespace verolux::cups {

// What the last libcups call on this thread says went wrong, in words a log reader understands: a
// scheduler that cannot be reached is named as such, not by the socket error behind it.
std::string LastError();

// Whether the scheduler answers at all. libcups reports a missing queue and a missing scheduler
// alike, so a failed lookup asks this before blaming the queue.
bool SchedulerAnswers();

#ifdef _WIN32
inline constexpr const char* kSchedulerDown = "the print service (Print Spooler) is not running";
#else
inline constexpr const char* kSchedulerDown = "the print service (CUPS) is not running";
#endif

} // namespace verolux::cups
