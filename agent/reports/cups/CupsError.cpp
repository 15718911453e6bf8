#include "agent/reports/cups/CupsError.h"

#include <cups/cups.h>

namespace verolux::cups {

std::string LastError() {
    if (cupsLastError() == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE) return kSchedulerDown;
    const char* s = cupsLastErrorString();
    return s && *s ? s : "CUPS did not answer";
}

bool SchedulerAnswers() {
    ippDelete(cupsDoRequest(CUPS_HTTP_DEFAULT, ippNewRequest(IPP_OP_CUPS_GET_DEFAULT), "/"));
    return cupsLastError() != IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
}

} // namespace verolux::cups
