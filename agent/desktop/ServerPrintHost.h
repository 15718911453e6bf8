#pragma once

#include "agent/desktop/JobFollower.h"
#include "agent/desktop/LinkerPool.h"
#include "agent/desktop/RequestQueue.h"
#include "agent/desktop/Transfers.h"
#include "agent/printing/PageMessage.h"
#include "agent/printing/RepPrint.h"
#include "agent/printing/TemplateStore.h"

#include <QPointer>
#include <QTimer>

#include <memory>

namespace verolux {
class frmServer;
class frmDesign;

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

  private:
    void dispatch(LinkerPool::Peer sender, std::string text);
    void enqueue(std::string text, std::optional<JobRun> job);
    // A raw or document job waits in the same queue as report requests.
    void enqueueRaw(const PageMessage& m, const std::function<void(const std::string&)>& send);
    bool queueFull(std::size_t bytes) const;
    // Prints a document's bytes, or uploads them as a PDF; calls finished once done.
    void carryOutDocument(const DocumentPrint& document, const std::string& bytes, const std::string& jobId,
                          const std::string& reportId, const std::function<void(const JobStep&)>& report,
                          const RequestQueue::Finished& finished);
    // A large request's end starts the wait after which freed memory goes back.
    RequestQueue::Finished afterRequest(std::size_t textBytes, RequestQueue::Finished finished);
    void sendTo(LinkerPool::Peer peer, const std::string& text);
    std::string printersAnswer();

    frmServer& m_window;
    TemplateStore m_store;
    JobFollower m_follower;
    QPointer<frmDesign> m_designer; // one designer for the agent, made anew after it closed
    QTimer m_returnMemory;          // once large requests pause, freed memory goes back to the system
    RequestQueue m_queue;
    Transfers m_transfers; // first to go: aborts and waits for what still runs
};

} // namespace verolux
