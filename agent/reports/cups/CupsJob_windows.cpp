#include "agent/reports/cups/CupsJob.h"

#include "agent/reports/cups/Spooler_windows.h"

namespace verolux::cups {

namespace {

bool Fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

} // namespace

std::vector<std::pair<std::string, std::string>> JobOptionList(const JobOptions&) {
    return {};
}

struct PdfJob::Handles {};

PdfJob::~PdfJob() {
    close();
}

void PdfJob::close() {
    delete m_h;
    m_h = nullptr;
}

bool PdfJob::open(const std::string& printer, const std::string&, const JobOptions&, std::string* error) {
    return Fail(error, "printer \"" + printer + "\": the Windows spooler takes no PDF documents");
}

bool PdfJob::write(const char*, std::size_t, std::string* error) {
    return Fail(error, "no print job is open");
}

bool PdfJob::finish(std::string* error) {
    return Fail(error, "no print job is open");
}

void PdfJob::cancel() {}

bool IsFinal(JobState state) {
    return state == JobState::Cancelled || state == JobState::Aborted || state == JobState::Completed;
}

bool QueryJob(int jobId, JobStatus*, std::string* error) {
    return Fail(error, "job " + std::to_string(jobId) + ": not done on Windows yet");
}

bool CancelJob(int jobId, std::string* error) {
    return Fail(error, "job " + std::to_string(jobId) + ": not done on Windows yet");
}

} // namespace verolux::cups
