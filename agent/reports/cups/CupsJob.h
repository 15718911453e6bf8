#pragma once

#include "agent/reports/cups/CupsPrinters.h"

#include <cstddef>
#include <string>
#include <vector>

// Print jobs on the local CUPS scheduler, through libcups: a PDF document streamed into a new job,
// the state of a job, cancelling it. No Qt.
namespace verolux::cups {

enum class Sides { OneSided, TwoSidedLongEdge, TwoSidedShortEdge };

struct JobOptions {
    // The sheet in millimetres, width across the feed (a standard paper: width <= height; a label may
    // be wider than long); 0 leaves the printer's default paper.
    double paperWidthMm = 0, paperHeightMm = 0;
    bool landscape = false;
    int copies = 1;
    bool collate = true;
    Sides sides = Sides::OneSided;
    std::string pageRanges;  // "1-3,5"; empty = every page
    bool reverse = false;    // last page first
    bool monochrome = false; // grey on a colour printer
    std::string media;       // a PWG paper name the job asked for, sent instead of the size above
    std::string mediaSource; // an input tray keyword ("tray-2"); empty: the printer's own choice
    // The printer's calibration: the drawing moves this far on the sheet (x right, y down). Honoured
    // where the agent draws the pages for the print service (the Windows spooler's jobs); what goes to
    // CUPS is drawn moved before it is sent, and CUPS gets no option for it.
    double offsetXMm = 0, offsetYMm = 0;
};

// The CUPS options of a job, as name/value pairs in the order they are sent.
std::vector<std::pair<std::string, std::string>> JobOptionList(const JobOptions& options);

// A job being sent: open() creates it on the printer and starts its one PDF document, write()
// streams the document, finish() closes it and hands the job to the scheduler. A job that is not
// finished is cancelled when the object goes (or by cancel()), so a failed write never prints half
// a report.
class PdfJob {
  public:
    PdfJob() = default;
    ~PdfJob();
    PdfJob(const PdfJob&) = delete;
    PdfJob& operator=(const PdfJob&) = delete;

    // `printer` must name an existing queue (see ResolvePrinter); `title` names the job.
    bool open(const std::string& printer, const std::string& title, const JobOptions& options,
              std::string* error);
    bool open(const std::string& printer, const std::string& title, const JobOptions& options,
              PrintError* error);
    bool write(const char* data, std::size_t size, std::string* error);
    bool finish(std::string* error);
    void cancel();
    // The scheduler's job id (as lpstat shows it), 0 before open().
    int jobId() const { return m_jobId; }

  private:
    void close();

    struct Handles;
    Handles* m_h = nullptr;
    int m_jobId = 0;
    bool m_finished = false;
};

enum class JobState { Pending, Held, Processing, Stopped, Cancelled, Aborted, Completed };

struct JobStatus {
    JobState state = JobState::Pending;
    std::vector<std::string> reasons; // job-state-reasons keywords, "none" left out
    std::string message;              // the scheduler's text for the job or its printer, often empty
    std::string printer;
    // Why a job that is not finished waits: its printer's state (a stopped queue leaves the job's own
    // reasons empty). Filled for unfinished jobs only.
    PrinterState printerState = PrinterState::Idle;
    std::vector<std::string> printerReasons;
};

// Cancelled, aborted and completed jobs do not change any more.
bool IsFinal(JobState state);

// The job's state now. False with a reason when the scheduler does not know the job or cannot be asked.
bool QueryJob(int jobId, JobStatus* status, std::string* error);

// Asks the scheduler to cancel the job. False with a reason when it refuses (finished, unknown job).
bool CancelJob(int jobId, std::string* error);

} // namespace verolux::cups
