#pragma once

#include "agent/desktop/JobFollower.h"
#include "agent/desktop/LinkerPool.h"
#include "agent/desktop/RequestQueue.h"
#include "agent/desktop/Transfers.h"
#include "agent/printing/JobHistory.h"
#include "agent/printing/PageMessage.h"
#include "agent/printing/PrinterOffset.h"
#include "agent/printing/RepPrint.h"
#include "agent/printing/TemplateStore.h"

#include <QPointer>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace verolux {
class frmServer;
class frmDesign;
class frmHistory;

// The print procedure's view of the main window: its log pane and file, the send box, the test
// file, and the report windows it opens. It also answers what a page asks with the `verolux` key, to
// that page alone: its questions, and the events of the jobs it follows. Print requests wait in a
// queue and are carried out one at a time; their downloads and uploads run off the UI thread, so
// questions and handshakes are answered meanwhile.
class ServerPrintHost : public PrintHost {
  public:
    explicit ServerPrintHost(frmServer& window);
    ~ServerPrintHost() override;

    // One complete message of the connection delivering now (or the test button's empty text).
    void Run(std::string text);

    void AddLog(std::string_view line) override;
    void WriteLog(std::string_view line) override;
    void Reply(std::string_view text) override;
    std::string ReadRequestFile() override;
    void OpenDesigner(const DesignHandOver& handOver) override;
    std::optional<JobFailure> OpenPreview(const std::string& reportFileData,
                                          const std::string& reportPreview) override;
    OutputResult OpenOutput(const std::string& reportFileData, const std::string& reportPreview,
                            const JobOptions& options) override;
    void Upload(const PdfUpload& upload, UploadDone done) override;

    // 打印记录: the last jobs, in a window made on first use.
    void ShowHistory();
    const JobHistory& history() const { return m_history; }
    bool CanReprint(std::uint64_t entry) const { return m_kept.contains(entry); }
    // Carries out a job of the history again, as a new job of its own.
    void Reprint(std::uint64_t entry);

  private:
    // What a job printed, held in memory (never written) so that the user may print it again.
    struct Kept {
        PageMessage::Kind kind = PageMessage::Kind::Request;
        std::string text; // a report: the request, without its headers
        RawPrint raw;
        DocumentPrint document; // its bytes, its url cleared
        std::string what;
        std::size_t bytes = 0;
    };
    std::uint64_t record(LinkerPool::Peer sender, std::string kind, std::string what, std::string printer);
    void recordEvent(std::uint64_t entry, const std::string& event);
    void recordState(std::uint64_t entry, std::string_view state);
    void keep(std::uint64_t entry, Kept kept);
    // Writes the history's file (soon, once for a burst) and shows the change.
    void historyChanged();
    void saveHistory();

    // A followed job its page may still take back, and the headers of its transfers.
    struct FollowedJob {
        std::shared_ptr<JobTracker> tracker;
        std::function<void(const std::string&)> send;
        std::vector<std::string> headers; // "Name: value"; never logged
        std::uint64_t queued = 0;         // its number in the queue
        std::optional<int> transfer;      // the download or upload running for it
        bool cancelled = false;           // taken back while it ran: nothing more starts for it
        std::vector<int> earlierCupsJobs; // a document sent as several CUPS jobs: all but the last
    };

    void dispatch(LinkerPool::Peer sender, std::string text);
    // Returns the request's number in the queue, 0 when it was refused.
    // entry: the history's line of a request nobody follows, marked "ended" when it has run.
    std::uint64_t enqueue(std::string text, std::optional<JobRun> job,
                          std::shared_ptr<FollowedJob> followed = {}, std::uint64_t entry = 0);
    void follow(LinkerPool::Peer sender, PageMessage m, std::string text);
    void cancel(LinkerPool::Peer sender, const std::string& jobId);
    void forget(const std::string& key, const FollowedJob* job);
    // Runs a transfer for the request being carried out, with its job's headers and abort.
    void transfer(Transfers::Work work);
    // A raw or document job waits in the same queue as report requests, followed as they are.
    // what: the history's name for it when not its URL (a reprint).
    void enqueueRaw(LinkerPool::Peer sender, PageMessage m, std::string what = {});
    bool queueFull(std::size_t bytes) const;
    // A queue's calibration, as the settings hold it now.
    std::function<PrinterOffset(const std::string& queue)> offsetOf() const;
    // Prints a document's bytes, or uploads them as a PDF; calls finished once done.
    void carryOutDocument(const DocumentPrint& document, const std::string& bytes, const std::string& jobId,
                          const std::string& reportId, const std::function<void(const JobStep&)>& report,
                          const RequestQueue::Finished& finished);
    // Opens a preview window of the document; false with the reason when it cannot be shown.
    bool openDocumentPreview(const DocumentPrint& document, const std::string& bytes,
                             const std::string& jobId, std::string* error);
    // A large request's end starts the wait after which freed memory goes back.
    RequestQueue::Finished afterRequest(std::size_t textBytes, RequestQueue::Finished finished);
    void sendTo(LinkerPool::Peer peer, const std::string& text);
    std::string printersAnswer();

    frmServer& m_window;
    TemplateStore m_store;
    JobFollower m_follower;
    QPointer<frmDesign> m_designer; // one designer for the agent, made anew after it closed
    QTimer m_returnMemory;          // once large requests pause, freed memory goes back to the system
    std::chrono::steady_clock::time_point m_lastSweep; // of the failed PDFs past their time
    // Unfinished followed jobs by connection and job id.
    std::multimap<std::string, std::shared_ptr<FollowedJob>> m_followed;
    std::shared_ptr<FollowedJob> m_running; // the followed job being carried out, if any
    JobHistory m_history;
    std::filesystem::path m_historyFile;
    std::map<std::uint64_t, Kept> m_kept;
    std::size_t m_keptBytes = 0;
    QPointer<frmHistory> m_historyWindow;
    QTimer m_saveHistory;
    RequestQueue m_queue;
    Transfers m_transfers; // first to go: aborts and waits for what still runs
};

} // namespace verolux
