#pragma once

#include "agent/printing/JobError.h"
#include "agent/printing/JobTracker.h"
#include "agent/printing/PageMessage.h"
#include "agent/printing/TemplateStore.h"

#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace verolux {

// What the print procedure hands the designer window.
struct DesignHandOver {
    std::string reportFileName; // the template path
    std::string reportId;
    std::string reportAdd;
    std::string reportDownurl;
    // Who asked: the same text for every request of one page's connection, empty for the test button.
    std::string requester = {};
};

// An exported PDF waiting to be posted to the backend (PostReportFile).
struct PdfUpload {
    std::filesystem::path file;
    std::string reportAdd;
    std::string reportId;
};

// What an output window reports once its work is done.
struct OutputResult {
    int cupsJobId = 0;               // printed: the job CUPS took (0 when it named none)
    long httpStatus = 0;             // PDF: the backend's answer to the upload
    std::optional<PdfUpload> upload; // PDF: exported, still to be uploaded
};

// How an upload ended: the answer's status, or what kept it from getting one.
using UploadDone = std::function<void(long httpStatus, std::exception_ptr error)>;

// The main window as the print procedure sees it: its log pane, log file, reply channel, test file
// and the three report windows.
class PrintHost {
  public:
    virtual ~PrintHost() = default;
    virtual void AddLog(std::string_view line) = 0;
    virtual void WriteLog(std::string_view line) = 0; // throws when the log file cannot be written
    // Puts text into the send box and sends it to every connected page.
    virtual void Reply(std::string_view text) = 0;
    // "repdata.txt" of the program folder, "" when missing.
    virtual std::string ReadRequestFile() = 0;
    virtual void OpenDesigner(const DesignHandOver& handOver) = 0;
    // The preview window handles its own failures; the one it logged, if any, is returned.
    virtual std::optional<JobFailure> OpenPreview(const std::string& reportFileData,
                                                  const std::string& reportPreview) = 0;
    // The output window has no failure handling of its own: it throws, and the request fails. A PDF
    // comes back exported and not yet uploaded.
    virtual OutputResult OpenOutput(const std::string& reportFileData, const std::string& reportPreview,
                                    const JobOptions& options) = 0;
    // Posts the PDF without holding up the agent; done runs afterwards, on the caller's thread.
    virtual void Upload(const PdfUpload& upload, UploadDone done) = 0;
};

// A request whose page follows it: its print options, and where each step of it is told.
struct JobRun {
    JobOptions options;
    std::function<void(const JobStep&)> report;
    // True once its page took the job back: nothing more is started for it, and what comes back from
    // a transfer it aborted is no failure of its own (the page heard "cancelled" already).
    std::function<bool()> cancelled = {};
};

inline constexpr std::string_view kNoJsonData = "没有 Json 数据";
inline constexpr std::string_view kNotFoundReply = "找不到报表文件:";
inline constexpr std::string_view kRepPrintFailed = "RepPrint 过程出错！";

// The print procedure: reads one request, refreshes its template and hands it to the window its
// mode asks for. Only problems travel back to the pages, to all of them. With a job, its page also
// hears each step (accepted, then how it ended). Never throws.
//
// It runs in stages: template downloads and the PDF upload go on while the agent answers other
// events, and the procedure goes on when they are over. `finished` runs once the request is done
// (at once when nothing had to wait); host and store must live until then.
void RepPrint(PrintHost& host, const TemplateStore& store, std::string text, std::optional<JobRun> job = {},
              std::function<void()> finished = {});

// A request the agent will not take now (too much is waiting): the error path as for a request that
// fails, with `reason` in the log pane, and its page's job ends failed with agent-busy.
void RefuseRequest(PrintHost& host, const std::string& text, const std::optional<JobRun>& job,
                   std::string_view reason);

} // namespace verolux
