#include "agent/reports/cups/CupsError.h"

#include "agent/reports/cups/Spooler_windows.h"

namespace verolux::cups {

std::string LastError() {
    return win::ErrorText(GetLastError());
}

bool SchedulerAnswers() {
    return win::SpoolerAnswers();
}

} // namespace verolux::cups
