#include "agent/printing/JobTracker.h"

#include "common/JsonEscape.h"

namespace verolux {
namespace {

// The first kMaxEventMessageBytes bytes, not cutting a UTF-8 sequence.
std::string Bounded(const std::string& message) {
    if (message.size() <= kMaxEventMessageBytes) return message;
    std::size_t end = kMaxEventMessageBytes;
    while (end > 0 && (static_cast<unsigned char>(message[end]) & 0xC0) == 0x80)
        --end;
    return message.substr(0, end) + "…";
}

std::string WithReason(const std::string& what, const std::string& reason) {
    return reason.empty() ? what : what + " (" + reason + ")";
}

} // namespace

JobTracker::JobTracker(std::string jobId, std::string reportId)
    : m_jobId(std::move(jobId)), m_reportId(std::move(reportId)) {}

std::string JobTracker::event(const char* state, const std::string& extra) const {
    std::string text = R"({"verolux":"job","jobId":)";
    AppendJsonString(text, m_jobId);
    text += R"(,"reportId":)";
    AppendJsonString(text, m_reportId);
    text += R"(,"state":")";
    text += state;
    text += '"';
    text += extra;
    text += '}';
    return text;
}

std::string JobTracker::failed(const std::string& code, const std::string& message,
                               const std::string& extra) {
    m_finished = true;
    std::string fields = R"(,"code":)";
    AppendJsonString(fields, code);
    fields += R"(,"message":)";
    AppendJsonString(fields, Bounded(message));
    return event("failed", fields + extra);
}

std::vector<std::string> JobTracker::feed(const JobStep& step) {
    using K = JobStep::Kind;
    using C = JobStep::Cups;
    if (m_finished) return {};
    const std::string cupsId = m_cupsJobId ? R"(,"cupsJobId":)" + std::to_string(m_cupsJobId) : "";
    switch (step.kind) {
    case K::Accepted:
        return {event("accepted")};
    case K::Failed:
        return {failed(step.code, step.message, cupsId)};
    case K::Spooled:
        m_cupsJobId = step.cupsJobId;
        return {event("spooled", R"(,"cupsJobId":)" + std::to_string(step.cupsJobId))};
    case K::Shown:
        m_finished = true;
        return {event("shown")};
    case K::Opened:
        m_finished = true;
        return {event("opened")};
    case K::Uploaded: {
        const std::string status = R"(,"httpStatus":)" + std::to_string(step.httpStatus);
        if (step.httpStatus < 200 || step.httpStatus > 299)
            return {failed(failure::kUploadRejected,
                           "the backend answered the upload with HTTP " + std::to_string(step.httpStatus),
                           status)};
        m_finished = true;
        return {event("uploaded", status)};
    }
    case K::GaveUp:
        return {failed(failure::kPrintUnconfirmed, step.message, cupsId)};
    case K::Cancelled:
        m_finished = true;
        return {event("cancelled", cupsId)};
    case K::CupsState:
        break;
    }
    switch (step.cups) {
    case C::Completed:
        m_finished = true;
        return {event("completed", cupsId)};
    case C::Cancelled:
        return {failed(failure::kPrintCanceled, WithReason("the job was cancelled in CUPS", step.message),
                       cupsId)};
    case C::Aborted:
        return {failed(failure::kPrintFailed, WithReason("CUPS aborted the job", step.message), cupsId)};
    case C::Pending:
        // Queued behind other jobs is no news; queued on a queue that does not print is.
        if (!step.printerStopped) return {};
        [[fallthrough]];
    case C::Held:
    case C::Stopped: {
        const std::string reason = step.message.empty() ? "the job waits in CUPS" : step.message;
        if (reason == m_waitingFor) return {};
        m_waitingFor = reason;
        std::string fields = cupsId + R"(,"reason":)";
        AppendJsonString(fields, reason);
        return {event("waiting", fields)};
    }
    case C::Processing:
        return {};
    }
    return {};
}

} // namespace verolux
