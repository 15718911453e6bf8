#include "agent/reports/cups/CupsRawJob.h"

#include "agent/reports/cups/Spooler_windows.h"

namespace verolux::cups {

bool SendRawJob(const std::string& printer, const std::string&, std::string_view, int* jobId,
                std::string* error) {
    *jobId = 0;
    if (error) *error = "printer \"" + printer + "\": raw jobs are not done on Windows yet";
    return false;
}

bool SendDocumentJob(const std::string& printer, const std::string&, const char*, std::string_view,
                     const std::vector<std::pair<std::string, std::string>>&, int* jobId,
                     std::string* error) {
    *jobId = 0;
    if (error) *error = "printer \"" + printer + "\": documents are not done on Windows yet";
    return false;
}

std::vector<std::pair<std::string, std::string>> DocumentOptionList(const JobOptions&, Scaling, bool) {
    return {};
}

} // namespace verolux::cups
