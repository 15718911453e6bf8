#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace verolux {

// Stable failure codes a page can act on; the message beside them says what the log pane says.
namespace failure {
inline constexpr const char* kBadRequest = "bad-request";
inline constexpr const char* kTemplateNotFound = "template-not-found";
inline constexpr const char* kTemplateInvalid = "template-invalid";
inline constexpr const char* kPrinterNotFound = "printer-not-found";
inline constexpr const char* kNoDefaultPrinter = "no-default-printer";
inline constexpr const char* kPrintFailed = "print-failed";
inline constexpr const char* kPrintCanceled = "print-canceled";
inline constexpr const char* kPrintUnconfirmed = "print-unconfirmed";
inline constexpr const char* kExportFailed = "export-failed";
inline constexpr const char* kUploadFailed = "upload-failed";
inline constexpr const char* kUploadRejected = "upload-rejected";
inline constexpr const char* kBusy = "agent-busy";
inline constexpr const char* kInternal = "internal-error";
} // namespace failure

// A failure's message is cut to this many bytes (a template's parse error can quote much of it).
inline constexpr std::size_t kMaxEventMessageBytes = 2048;

// One thing that happened to a job, as the print pipeline and CUPS report it.
struct JobStep {
    enum class Kind {
        Accepted,  // the request was read
        Failed,    // code, message
        Spooled,   // cupsJobId
        CupsState, // cups: what CUPS says of the job now; message: its reason
        Uploaded,  // httpStatus
        Shown,     // the preview is on screen
        Opened,    // the designer is open
        GaveUp,    // CUPS did not finish the job within the time the agent follows it
        Cancelled, // its page took it back before it ended
    };
    enum class Cups { Pending, Held, Processing, Stopped, Cancelled, Aborted, Completed };

    JobStep(Kind k = Kind::Accepted) : kind(k) {} // NOLINT(google-explicit-constructor): a step is its kind

    Kind kind;
    std::string code;
    std::string message;
    int cupsJobId = 0;
    std::vector<int> earlierCupsJobIds; // Spooled: the job's other CUPS jobs, sent before cupsJobId
    Cups cups = Cups::Pending;
    bool printerStopped = false; // CupsState: the queue does not print now
    long httpStatus = 0;
};

// The job events one page hears about one request, in order: "accepted", then for a print "spooled"
// and "completed" or "failed"; for a PDF "uploaded" (2xx) or "failed"; "shown" for a preview;
// "opened" for the designer; "waiting" while CUPS holds the job, once per reason; "cancelled" when
// its page took it back. Exactly one final event; nothing after it.
class JobTracker {
  public:
    JobTracker(std::string jobId, std::string reportId);

    // The event texts (one JSON object each) this step gives.
    std::vector<std::string> feed(const JobStep& step);

    bool finished() const { return m_finished; }
    int cupsJobId() const { return m_cupsJobId; }

  private:
    std::string event(const char* state, const std::string& extra = {}) const;
    std::string failed(const std::string& code, const std::string& message, const std::string& extra = {});

    std::string m_jobId, m_reportId;
    bool m_finished = false;
    int m_cupsJobId = 0;
    std::string m_waitingFor; // reason of the last "waiting" sent
};

} // namespace verolux
