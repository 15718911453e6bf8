#pragma once

#include <string>
#include <utility>

namespace verolux::cups {

// Why a print request failed, where it failed: the same codes from CUPS and from the Windows spooler.
enum class PrintFailure {
    SchedulerDown,    // the print service does not answer
    NoSuchPrinter,    // the queue named does not exist
    NoDefaultPrinter, // none named and the system has no default
    Refused,          // the printer or the print service refused the job
    Failed,           // anything else on the way (connection, sending, drawing)
};

struct PrintError {
    PrintFailure code = PrintFailure::Failed;
    std::string message; // what the text-only overloads report
};

// The typed result as the text-only overloads give it.
inline bool FailWith(PrintError* error, PrintFailure code, std::string message) {
    if (error) *error = {code, std::move(message)};
    return false;
}
inline bool AsText(bool ok, PrintError&& typed, std::string* error) {
    if (!ok && error) *error = std::move(typed.message);
    return ok;
}

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
