#include "agent/reports/cups/CupsJob.h"

#include "agent/reports/cups/CupsError.h"
#include "agent/reports/cups/Spooler_windows.h"

#include <winspool.h>

namespace verolux::cups {

namespace {

// Kept printed documents (a printer's "keep printed documents"); older MinGW headers lack the name.
constexpr DWORD kJobRetained = 0x2000;

bool Fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

// A job of the spooler's queue for that printer: JOB_INFO_2 in `buffer`; false when it is not there.
bool ReadJob(const std::string& printer, int jobId, std::vector<BYTE>* buffer) {
    win::Printer handle;
    if (!handle.open(printer)) return false;
    DWORD needed = 0;
    GetJobW(handle.handle(), DWORD(jobId), 2, nullptr, 0, &needed);
    if (needed == 0) return false;
    buffer->resize(needed);
    return GetJobW(handle.handle(), DWORD(jobId), 2, buffer->data(), needed, &needed) != 0;
}

// Where a job is: the printer this process sent it to, else the first printer that has it.
std::string FindJob(int jobId, std::vector<BYTE>* buffer) {
    std::string printer = win::PrinterOfJob(jobId);
    if (!printer.empty()) return ReadJob(printer, jobId, buffer) ? printer : std::string();
    DWORD needed = 0, count = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, nullptr, 0, &needed, &count);
    std::vector<BYTE> list(needed);
    if (needed == 0 || !EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, list.data(),
                                      needed, &needed, &count))
        return {};
    const auto* infos = reinterpret_cast<const PRINTER_INFO_4W*>(list.data());
    for (DWORD i = 0; i < count; ++i) {
        const std::string name = win::Utf8(infos[i].pPrinterName ? infos[i].pPrinterName : L"");
        if (!name.empty() && ReadJob(name, jobId, buffer)) return name;
    }
    return {};
}

// The spooler's job status bits as CUPS states and job-state-reasons.
void StateOf(DWORD status, JobStatus& s) {
    const auto reason = [&s](const char* r) { s.reasons.emplace_back(r); };
    if (status & (JOB_STATUS_DELETING | JOB_STATUS_DELETED)) {
        s.state = JobState::Cancelled;
        reason("job-canceled-by-user");
    } else if (status & (JOB_STATUS_PRINTED | JOB_STATUS_COMPLETE | kJobRetained)) {
        s.state = JobState::Completed;
        reason("job-completed-successfully");
    } else if (status & JOB_STATUS_PAUSED) {
        s.state = JobState::Held;
        reason("job-hold-until-specified");
    } else if (status & (JOB_STATUS_ERROR | JOB_STATUS_OFFLINE | JOB_STATUS_PAPEROUT |
                         JOB_STATUS_BLOCKED_DEVQ | JOB_STATUS_USER_INTERVENTION)) {
        s.state = JobState::Stopped;
        reason("printer-stopped");
    } else if (status & JOB_STATUS_PRINTING) {
        s.state = JobState::Processing;
        reason("job-printing");
    } else if (status & JOB_STATUS_SPOOLING) {
        s.state = JobState::Pending;
        reason("job-incoming");
    } else {
        s.state = JobState::Pending;
        reason("job-queued");
    }
}

} // namespace

// The Windows spooler takes no PDF: reports are drawn through GDI (engine/Printing_windows.cpp).
struct PdfJob::Handles {};

PdfJob::~PdfJob() {
    close();
}

void PdfJob::close() {
    delete m_h;
    m_h = nullptr;
}

bool PdfJob::open(const std::string& printer, const std::string&, const JobOptions&, PrintError* error) {
    return FailWith(error, PrintFailure::Failed,
                    "printer \"" + printer + "\": the Windows print spooler takes no PDF documents");
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

bool QueryJob(int jobId, JobStatus* status, std::string* error) {
    std::vector<BYTE> buffer;
    const std::string printer = FindJob(jobId, &buffer);
    if (printer.empty()) {
        // The spooler forgets a job once the printer has it: a job of ours that is gone is done,
        // unless it went because we cancelled it.
        const std::string ours = win::PrinterOfJob(jobId);
        if (ours.empty() || !win::SpoolerAnswers())
            return Fail(error, "job " + std::to_string(jobId) + ": " +
                                   (win::SpoolerAnswers() ? "no such job" : kSchedulerDown));
        JobStatus s;
        const bool cancelled = win::WasCancelled(jobId);
        s.state = cancelled ? JobState::Cancelled : JobState::Completed;
        s.reasons = {cancelled ? "job-canceled-by-user" : "job-completed-successfully"};
        s.printer = ours;
        *status = std::move(s);
        return true;
    }
    const auto& info = *reinterpret_cast<const JOB_INFO_2W*>(buffer.data());
    JobStatus s;
    StateOf(info.Status, s);
    // A delete the spooler accepted ends the job for the page, as a CUPS cancel does, even while the
    // queue still lists it (being deleted, or under Wine, whose spooler ignores deletes).
    if (win::WasCancelled(jobId) && !IsFinal(s.state)) {
        s.state = JobState::Cancelled;
        s.reasons = {"job-canceled-by-user"};
    }
    s.printer = printer;
    if (info.pStatus && *info.pStatus) s.message = win::Utf8(info.pStatus);
    if (!IsFinal(s.state)) {
        PrinterInfo p;
        if (QueryPrinter(printer, &p, nullptr)) {
            s.printerState = p.state;
            s.printerReasons = p.stateReasons;
            if (s.message.empty()) s.message = p.stateMessage;
        }
    }
    *status = std::move(s);
    return true;
}

bool CancelJob(int jobId, std::string* error) {
    std::vector<BYTE> buffer;
    const std::string printer = FindJob(jobId, &buffer);
    if (printer.empty())
        return Fail(error,
                    "job " + std::to_string(jobId) + ": " +
                        (win::SpoolerAnswers() ? "no such job (finished or never queued)" : kSchedulerDown));
    win::Printer handle;
    if (!handle.open(printer) || !SetJobW(handle.handle(), DWORD(jobId), 0, nullptr, JOB_CONTROL_DELETE))
        return Fail(error, "job " + std::to_string(jobId) + ": " + win::ErrorText(GetLastError()));
    win::MarkCancelled(jobId);
    return true;
}

} // namespace verolux::cups
