#include "agent/reports/cups/CupsJob.h"

#include "agent/reports/cups/CupsError.h"

#include <cups/cups.h>

#include <memory>

namespace verolux::cups {

namespace {

// How long connecting to the scheduler may take before a job gives up.
constexpr int kConnectTimeoutMs = 30000;

bool Fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

struct IppFree {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};

// A request about one job of the local scheduler, on behalf of this process's user.
ipp_t* JobRequest(ipp_op_t operation, int jobId) {
    ipp_t* request = ippNewRequest(operation);
    const std::string uri = "ipp://localhost/jobs/" + std::to_string(jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    return request;
}

} // namespace

struct PdfJob::Handles {
    cups_dest_t* dest = nullptr;
    http_t* http = nullptr;
    cups_dinfo_t* info = nullptr;
    bool documentOpen = false;
};

PdfJob::~PdfJob() {
    if (!m_finished) cancel();
    close();
}

void PdfJob::close() {
    if (!m_h) return;
    if (m_h->info) cupsFreeDestInfo(m_h->info);
    if (m_h->http) httpClose(m_h->http);
    if (m_h->dest) cupsFreeDests(1, m_h->dest);
    delete m_h;
    m_h = nullptr;
}

bool PdfJob::open(const std::string& printer, const std::string& title, const JobOptions& options,
                  PrintError* error) {
    close();
    m_jobId = 0;
    m_finished = false;
    m_h = new Handles;
    m_h->dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, printer.c_str(), nullptr);
    if (!m_h->dest)
        return SchedulerAnswers() ? FailWith(error, PrintFailure::NoSuchPrinter,
                                             "printer \"" + printer + "\" does not exist")
                                  : FailWith(error, PrintFailure::SchedulerDown, kSchedulerDown);
    char resource[1024];
    m_h->http = cupsConnectDest(m_h->dest, CUPS_DEST_FLAGS_NONE, kConnectTimeoutMs, nullptr, resource,
                                sizeof resource, nullptr, nullptr);
    if (!m_h->http)
        return FailWith(error, PrintFailure::Failed,
                        "printer \"" + printer + "\": cannot connect: " + LastError());
    m_h->info = cupsCopyDestInfo(m_h->http, m_h->dest);
    if (!m_h->info)
        return FailWith(error, PrintFailure::Failed, "printer \"" + printer + "\": " + LastError());

    cups_option_t* list = nullptr;
    int count = 0;
    for (const auto& [name, value] : JobOptionList(options))
        count = cupsAddOption(name.c_str(), value.c_str(), count, &list);
    ipp_status_t created =
        cupsCreateDestJob(m_h->http, m_h->dest, m_h->info, &m_jobId, title.c_str(), count, list);
    if (created > IPP_STATUS_OK_CONFLICTING || m_jobId <= 0) {
        cupsFreeOptions(count, list);
        m_jobId = 0;
        return FailWith(error, PrintFailure::Refused,
                        "printer \"" + printer + "\" refused the job: " + LastError());
    }
    http_status_t started = cupsStartDestDocument(m_h->http, m_h->dest, m_h->info, m_jobId, title.c_str(),
                                                  CUPS_FORMAT_PDF, 0, nullptr, 1);
    cupsFreeOptions(count, list);
    if (started != HTTP_STATUS_CONTINUE)
        return FailWith(error, PrintFailure::Failed,
                        "printer \"" + printer + "\": cannot send the document: " + LastError());
    m_h->documentOpen = true;
    return true;
}

bool PdfJob::write(const char* data, std::size_t size, std::string* error) {
    if (!m_h || !m_h->documentOpen) return Fail(error, "no print job is open");
    if (cupsWriteRequestData(m_h->http, data, size) != HTTP_STATUS_CONTINUE)
        return Fail(error, "printer \"" + std::string(m_h->dest->name) +
                               "\": sending the job failed: " + LastError());
    return true;
}

bool PdfJob::finish(std::string* error) {
    if (!m_h || !m_h->documentOpen) return Fail(error, "no print job is open");
    m_h->documentOpen = false;
    const ipp_status_t status = cupsFinishDestDocument(m_h->http, m_h->dest, m_h->info);
    if (status > IPP_STATUS_OK_CONFLICTING)
        return Fail(error,
                    "printer \"" + std::string(m_h->dest->name) + "\" did not take the job: " + LastError());
    m_finished = true;
    close();
    return true;
}

void PdfJob::cancel() {
    if (m_jobId <= 0 || m_finished) return;
    // A half-sent document keeps the job's connection busy: drop it, the cancel goes on another one.
    close();
    std::string ignored;
    CancelJob(m_jobId, &ignored);
    m_finished = true;
}

bool IsFinal(JobState state) {
    return state == JobState::Cancelled || state == JobState::Aborted || state == JobState::Completed;
}

bool QueryJob(int jobId, JobStatus* status, std::string* error) {
    static const char* const wanted[] = {"job-state", "job-state-reasons", "job-printer-state-message",
                                         "job-state-message", "job-printer-uri"};
    ipp_t* request = JobRequest(IPP_OP_GET_JOB_ATTRIBUTES, jobId);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", int(std::size(wanted)),
                  nullptr, wanted);
    std::unique_ptr<ipp_t, IppFree> answer(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/jobs/"));
    if (!answer || cupsLastError() > IPP_STATUS_OK_CONFLICTING)
        return Fail(error, "job " + std::to_string(jobId) + ": " + LastError());

    JobStatus s;
    ipp_attribute_t* state = ippFindAttribute(answer.get(), "job-state", IPP_TAG_ENUM);
    if (!state) return Fail(error, "job " + std::to_string(jobId) + ": the scheduler gave no state");
    switch (ippGetInteger(state, 0)) {
    case IPP_JSTATE_HELD:
        s.state = JobState::Held;
        break;
    case IPP_JSTATE_PROCESSING:
        s.state = JobState::Processing;
        break;
    case IPP_JSTATE_STOPPED:
        s.state = JobState::Stopped;
        break;
    case IPP_JSTATE_CANCELED:
        s.state = JobState::Cancelled;
        break;
    case IPP_JSTATE_ABORTED:
        s.state = JobState::Aborted;
        break;
    case IPP_JSTATE_COMPLETED:
        s.state = JobState::Completed;
        break;
    default:
        s.state = JobState::Pending;
        break;
    }
    if (ipp_attribute_t* reasons = ippFindAttribute(answer.get(), "job-state-reasons", IPP_TAG_KEYWORD))
        for (int i = 0; i < ippGetCount(reasons); ++i) {
            const char* r = ippGetString(reasons, i, nullptr);
            if (r && std::string_view(r) != "none") s.reasons.emplace_back(r);
        }
    for (const char* name : {"job-state-message", "job-printer-state-message"})
        if (ipp_attribute_t* m = ippFindAttribute(answer.get(), name, IPP_TAG_TEXT))
            if (const char* text = ippGetString(m, 0, nullptr); text && *text) {
                s.message = text;
                break;
            }
    if (ipp_attribute_t* uri = ippFindAttribute(answer.get(), "job-printer-uri", IPP_TAG_URI))
        if (const char* u = ippGetString(uri, 0, nullptr)) {
            const std::string_view v(u);
            s.printer = std::string(v.substr(v.rfind('/') + 1));
        }
    if (!IsFinal(s.state) && !s.printer.empty()) {
        PrinterInfo printer;
        if (QueryPrinter(s.printer, &printer, nullptr)) {
            s.printerState = printer.state;
            s.printerReasons = printer.stateReasons;
            if (s.message.empty()) s.message = printer.stateMessage;
        }
    }
    *status = std::move(s);
    return true;
}

bool CancelJob(int jobId, std::string* error) {
    std::unique_ptr<ipp_t, IppFree> answer(
        cupsDoRequest(CUPS_HTTP_DEFAULT, JobRequest(IPP_OP_CANCEL_JOB, jobId), "/jobs/"));
    if (!answer || cupsLastError() > IPP_STATUS_OK_CONFLICTING)
        return Fail(error, "job " + std::to_string(jobId) + ": " + LastError());
    return true;
}

} // namespace verolux::cups
