#include "agent/desktop/ServerPrintHost.h"

#include "agent/desktop/DocumentPrintJob.h"
#include "agent/desktop/FreedMemory.h"
#include "agent/desktop/RawPrintJob.h"
#include "agent/desktop/frmHistory.h"
#include "agent/desktop/frmServer.h"
#include "agent/printing/AgentAnswers.h"
#include "agent/printing/DocumentJob.h"
#include "agent/printing/JobError.h"
#include "agent/printing/JobHeaders.h"
#include "agent/printing/PdfRetention.h"
#include "agent/printing/PostReportFile.h"
#include "agent/reports/cups/CupsJob.h"
#include "agent/reports/cups/CupsPrinters.h"
#include "agent/reports/windows/DocumentPages.h"
#include "agent/reports/windows/PicturePdf.h"
#include "agent/reports/windows/frmDesign.h"
#include "agent/reports/windows/frmDocumentPreview.h"
#include "agent/reports/windows/frmPdfFile.h"
#include "agent/reports/windows/frmPreview.h"
#include "agent/websocket/Frame.h"
#include "agent/websocket/WsLimits.h"
#include "common/Http.h"
#include "common/Version.h"

#include <QDateTime>
#include <QSaveFile>
#include <QScopeGuard>
#include <QSysInfo>

#include <chrono>
#include <fstream>
#include <map>

namespace verolux {
namespace {

// A request text from this size on leaves enough behind to be worth handing back.
constexpr std::size_t kLargeRequestBytes = 256 * 1024;
constexpr std::chrono::milliseconds kReturnMemoryAfterIdle{1000};
// Requests waiting behind the one being carried out: at most this many, holding at most this much.
constexpr std::size_t kMaxWaitingRequests = 100'000;
constexpr std::size_t kMaxWaitingBytes = 256u << 20;
// What the history holds for printing again, at most, and of one job: large requests are not
// worth keeping their memory from the system for a reprint that may never come.
constexpr std::size_t kMaxKeptBytes = 16u << 20;
constexpr std::size_t kMaxKeptJobBytes = 4u << 20;
// History changes within this long are written once.
constexpr std::chrono::milliseconds kSaveHistoryAfter{300};

// A request's template and printer as the history names them; "" where it names none.
std::pair<std::string, std::string> TemplateAndPrinter(std::string_view text) {
    if (text.empty()) return {"repdata.txt", ""};
    try {
        const JsonDocument doc = JsonDocument::Parse(text);
        return {doc.root().value("repname").text, doc.root().value("reprintname").text};
    } catch (const JsonError&) {
        return {};
    }
}

// Failed PDFs are kept for days: looking for those past their time once an hour is soon enough.
constexpr std::chrono::hours kSweepFailedPdfsEvery{1};

std::string Joined(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& w : words)
        out += (out.empty() ? "" : ", ") + w;
    return out;
}

// What CUPS says of a job now, as a step for its tracker; nullopt when it cannot say.
std::optional<JobStep> QueryCupsJob(int cupsJobId) {
    cups::JobStatus status;
    if (!cups::QueryJob(cupsJobId, &status, nullptr)) return std::nullopt;
    using C = JobStep::Cups;
    static const std::map<cups::JobState, C> kStates = {
        {cups::JobState::Pending, C::Pending},       {cups::JobState::Held, C::Held},
        {cups::JobState::Processing, C::Processing}, {cups::JobState::Stopped, C::Stopped},
        {cups::JobState::Cancelled, C::Cancelled},   {cups::JobState::Aborted, C::Aborted},
        {cups::JobState::Completed, C::Completed}};
    JobStep step(JobStep::Kind::CupsState);
    step.cups = kStates.at(status.state);
    // A job waiting on a stopped queue says nothing itself; its printer does.
    step.printerStopped = status.printerState == cups::PrinterState::Stopped;
    step.message = !status.message.empty() ? status.message
                   : step.printerStopped   ? Joined(status.printerReasons)
                                           : Joined(status.reasons);
    return step;
}

// The print queues as a page sees them; false with the reason when CUPS cannot be asked.
bool ListPrinterFacts(std::vector<PrinterFacts>* printers, std::string* error) {
    std::vector<cups::PrinterInfo> queues;
    if (!cups::ListPrinters(&queues, error)) return false;
    for (const cups::PrinterInfo& q : queues) {
        PrinterFacts p{q.name,          q.description, q.location, q.isDefault, "idle", {},
                       q.acceptingJobs, q.color,       q.duplex,   {},          {},     {}};
        if (q.state == cups::PrinterState::Printing) p.state = "printing";
        if (q.state == cups::PrinterState::Stopped) p.state = "stopped";
        p.stateReason = q.stateMessage.empty() ? Joined(q.stateReasons) : q.stateMessage;
        for (const cups::MediaSize& m : q.media) {
            p.media.push_back(m.name);
            p.papers.push_back({m.name, m.text, m.widthMm, m.heightMm});
        }
        for (const cups::Tray& t : q.trays)
            p.trays.push_back({t.name, t.text});
        p.customMinWidthMm = q.customMinWidthMm;
        p.customMinHeightMm = q.customMinHeightMm;
        p.customMaxWidthMm = q.customMaxWidthMm;
        p.customMaxHeightMm = q.customMaxHeightMm;
        printers->push_back(std::move(p));
    }
    return true;
}

} // namespace

ServerPrintHost::ServerPrintHost(frmServer& window)
    : m_window(window),
      m_store(
          TemplateFolder(window.programFolder()), window.settings(),
          [this](std::string_view line) { AddLog(line); },
          [this](const std::string& url, const std::filesystem::path& path,
                 const TemplateStore::DownloadDone& done) {
              // A job taken back starts no second download.
              if (m_running && m_running->cancelled) return done(false);
              const std::vector<std::string> headers =
                  m_running ? m_running->headers : std::vector<std::string>{};
              transfer([url, path, done, headers](const std::atomic<bool>& abort) {
                  TransferPace pace;
                  pace.abort = &abort;
                  const bool ok = DownloadToFile(url, path, kMaxTemplateBytes, false, {}, pace, headers);
                  return Transfers::Then([done, ok] { done(ok); });
              });
          }),
      m_follower(QueryCupsJob), m_historyFile(window.programFolder() / "history.jsonl") {
    if (std::ifstream in(m_historyFile, std::ios::binary); in)
        m_history = JobHistory::FromText(std::string(std::istreambuf_iterator<char>(in), {}));
    // Not after each large request: the next one would fault the same pages in again (5 % of a
    // 32,767-row job). A second without one is the end of a burst.
    m_saveHistory.setSingleShot(true);
    m_saveHistory.setInterval(kSaveHistoryAfter);
    QObject::connect(&m_saveHistory, &QTimer::timeout, [this] { saveHistory(); });
    m_returnMemory.setSingleShot(true);
    m_returnMemory.setInterval(kReturnMemoryAfterIdle);
    QObject::connect(&m_returnMemory, &QTimer::timeout, &ReturnFreedMemory);
    // PDFs whose upload failed long ago, left by an earlier run.
    m_lastSweep = std::chrono::steady_clock::now();
    m_transfers.Tidy([folder = m_store.folder()] { RemoveOldFailedPdfs(folder); });
}

ServerPrintHost::~ServerPrintHost() {
    if (m_saveHistory.isActive()) saveHistory();
    delete m_designer.data();
}

void ServerPrintHost::Run(std::string text) {
    dispatch(m_window.linkers().deliveringPeer(), std::move(text));
}

RequestQueue::Finished ServerPrintHost::afterRequest(std::size_t textBytes, RequestQueue::Finished finished) {
    if (textBytes < kLargeRequestBytes) return finished;
    return [this, finished = std::move(finished)] {
        m_returnMemory.start();
        finished();
    };
}

void ServerPrintHost::dispatch(LinkerPool::Peer sender, std::string text) {
    const PageMessage m = ReadPageMessage(text);
    const auto send = [this, sender](const std::string& answer) { sendTo(sender, answer); };
    switch (m.kind) {
    case PageMessage::Kind::Request: {
        auto [repname, printer] = TemplateAndPrinter(text);
        const std::uint64_t entry = record(sender, "report", std::move(repname), std::move(printer));
        if (!text.empty()) keep(entry, {PageMessage::Kind::Request, text, {}, {}, {}, text.size()});
        enqueue(std::move(text), std::nullopt, {}, entry);
        return;
    }
    case PageMessage::Kind::Hello:
        send(HelloAnswer(
            {VersionText(), m_window.linkers().listeningPort(), QSysInfo::kernelType().toStdString()}));
        return;
    case PageMessage::Kind::Printers:
        send(printersAnswer());
        return;
    case PageMessage::Kind::Unknown:
        send(ErrorAnswer("unknown-question", m.error));
        return;
    case PageMessage::Kind::BadJob: {
        JobTracker tracker(m.jobId, m.reportId);
        JobStep step(JobStep::Kind::Failed);
        step.code = failure::kBadRequest;
        step.message = m.error;
        for (const std::string& event : tracker.feed(step))
            send(event);
        return;
    }
    case PageMessage::Kind::Cancel:
        cancel(sender, m.jobId);
        return;
    case PageMessage::Kind::Raw:
    case PageMessage::Kind::Document:
        enqueueRaw(sender, m);
        return;
    case PageMessage::Kind::Job:
        break;
    }
    follow(sender, m, std::move(text));
}

namespace {
std::string FollowedKey(LinkerPool::Peer peer, const std::string& jobId) {
    return std::to_string(peer.index) + "/" + std::to_string(peer.generation) + "\n" + jobId;
}
} // namespace

void ServerPrintHost::follow(LinkerPool::Peer sender, PageMessage m, std::string text) {
    const std::string key = FollowedKey(sender, m.jobId);
    auto job = std::make_shared<FollowedJob>();
    // The tracker outlives this call when CUPS still has the job.
    job->tracker = std::make_shared<JobTracker>(m.jobId, m.reportId);
    job->send = [this, sender](const std::string& answer) { sendTo(sender, answer); };
    job->headers = std::move(m.headers);
    // Whatever may log or keep the request (its excerpt in the log file, the report windows) gets it
    // without the headers.
    if (!job->headers.empty()) text = WithoutJobHeaders(text);
    auto [repname, printer] = TemplateAndPrinter(text);
    const std::uint64_t entry = record(sender, "report", std::move(repname), std::move(printer));
    keep(entry, {PageMessage::Kind::Request, text, {}, {}, {}, text.size()});
    const auto sendAndForget = [this, key, job, entry](const std::string& event) {
        job->send(event);
        recordEvent(entry, event);
        if (job->tracker->finished()) forget(key, job.get());
    };
    JobRun run{m.options, [this, job, sendAndForget](const JobStep& step) {
                   // Spooled after its page took it back (the page heard "cancelled"): not to print.
                   if (step.kind == JobStep::Kind::Spooled && job->cancelled) {
                       std::string ignored;
                       if (step.cupsJobId) cups::CancelJob(step.cupsJobId, &ignored);
                       return;
                   }
                   for (const std::string& event : job->tracker->feed(step))
                       sendAndForget(event);
                   if (step.kind == JobStep::Kind::Spooled && !job->tracker->finished())
                       m_follower.follow(job->tracker, sendAndForget);
               }};
    run.cancelled = [job] { return job->cancelled; };
    m_followed.emplace(key, job);
    job->queued = enqueue(std::move(text), std::move(run), job);
}

void ServerPrintHost::cancel(LinkerPool::Peer sender, const std::string& jobId) {
    const std::string key = FollowedKey(sender, jobId);
    std::vector<std::shared_ptr<FollowedJob>> open;
    for (auto [it, end] = m_followed.equal_range(key); it != end; ++it)
        if (!it->second->tracker->finished()) open.push_back(it->second);
    if (open.empty()) {
        sendTo(sender,
               CancelRefusedAnswer(jobId, "no unfinished job of this id was sent on this connection"));
        return;
    }
    for (const std::shared_ptr<FollowedJob>& job : open) {
        JobStep step{JobStep::Kind::Cancelled};
        if (const int cupsJobId = job->tracker->cupsJobId()) {
            std::string error;
            // Refused when CUPS has just finished it: the follower tells how it ended.
            for (const int earlier : job->earlierCupsJobs)
                cups::CancelJob(earlier, &error); // those printed already stay printed
            if (!cups::CancelJob(cupsJobId, &error)) {
                sendTo(sender, CancelRefusedAnswer(jobId, "CUPS did not cancel the job: " + error));
                continue;
            }
        } else if (!m_queue.Remove(job->queued)) {
            job->cancelled = true;
            if (job->transfer) m_transfers.Abort(*job->transfer);
        }
        AddLog("任务已被页面取消：" + jobId);
        for (const std::string& event : job->tracker->feed(step))
            job->send(event);
        forget(key, job.get());
    }
}

void ServerPrintHost::forget(const std::string& key, const FollowedJob* job) {
    for (auto [it, end] = m_followed.equal_range(key); it != end; ++it)
        if (it->second.get() == job) {
            m_followed.erase(it);
            return;
        }
}

void ServerPrintHost::transfer(Transfers::Work work) {
    const std::shared_ptr<FollowedJob> job = m_running;
    const int id = m_transfers.Run([work = std::move(work), job](const std::atomic<bool>& abort) {
        Transfers::Outcome outcome = work(abort);
        return Transfers::Outcome(
            [job, then = std::move(outcome.then)] {
                if (job) job->transfer.reset();
                then();
            },
            std::move(outcome.tidy));
    });
    if (job) job->transfer = id;
}

void ServerPrintHost::carryOutDocument(const DocumentPrint& document, const std::string& bytes,
                                       const std::string& jobId, const std::string& reportId,
                                       const std::function<void(const JobStep&)>& report,
                                       const RequestQueue::Finished& finished) {
    if (document.preview) {
        std::string error;
        if (openDocumentPreview(document, bytes, jobId, &error)) {
            report(JobStep::Kind::Shown);
        } else {
            JobStep failed(JobStep::Kind::Failed);
            failed.code = failure::kBadRequest;
            failed.message = error;
            report(failed);
        }
        finished();
        return;
    }
    if (!document.upload) {
        std::string queue, ignored;
        const PrinterOffset offset =
            cups::ResolvePrinter(document.printer, &queue, &ignored) ? offsetOf()(queue) : PrinterOffset{};
        if (offset.zero()) {
            PrintDocument(document, bytes, jobId, report, {},
                          [this](std::string_view line) { AddLog(line); });
            finished();
            return;
        }
        // Redrawing a document moved takes seconds for a long PDF: beside the event loop, so the agent
        // keeps answering; what it reports and logs is carried back. A cancel stops it between pages.
        transfer([this, document, bytes, jobId, report, finished, offset](const std::atomic<bool>& abort) {
            auto steps = std::make_shared<std::vector<JobStep>>();
            auto lines = std::make_shared<std::vector<std::string>>();
            PrintDocument(
                document, bytes, jobId, [steps](const JobStep& step) { steps->push_back(step); },
                [offset](const std::string&) { return offset; },
                [lines](std::string_view line) { lines->emplace_back(line); }, &abort);
            return Transfers::Then([this, steps, lines, report, finished] {
                for (const std::string& line : *lines)
                    AddLog(line);
                for (const JobStep& step : *steps)
                    report(step);
                finished();
            });
        });
        return;
    }
    JobStep failed(JobStep::Kind::Failed);
    const DocumentFormat format = SniffDocument(bytes);
    const std::filesystem::path pdf = m_store.folder() / (reportId + ".pdf");
    bool written = false;
    if (format == DocumentFormat::Pdf) {
        std::ofstream out(pdf, std::ios::binary | std::ios::trunc);
        written = bool(out.write(bytes.data(), std::streamsize(bytes.size())).flush());
    } else if (format != DocumentFormat::Unknown) {
        // A picture goes up as a one-page PDF of its own size.
        written = WritePicturePdf(bytes, pdf);
    }
    if (!written) {
        failed.code = format == DocumentFormat::Unknown ? failure::kBadRequest : failure::kExportFailed;
        failed.message = format == DocumentFormat::Unknown ? "the document is no PDF, PNG or JPEG"
                                                           : "cannot write " + pdf.string();
        report(failed);
        finished();
        return;
    }
    Upload({pdf, document.reportAdd, reportId},
           [report, finished](long status, const std::exception_ptr& error) {
               if (error) {
                   try {
                       std::rethrow_exception(error);
                   } catch (const std::exception& e) {
                       const JobFailure f = FailureOf(e);
                       JobStep step(JobStep::Kind::Failed);
                       step.code = f.code;
                       step.message = f.message;
                       report(step);
                   } catch (...) {
                       JobStep step(JobStep::Kind::Failed);
                       step.code = failure::kInternal;
                       step.message = "unknown error";
                       report(step);
                   }
               } else {
                   JobStep uploaded(JobStep::Kind::Uploaded);
                   uploaded.httpStatus = status;
                   report(uploaded);
               }
               finished();
           });
}

bool ServerPrintHost::openDocumentPreview(const DocumentPrint& document, const std::string& bytes,
                                          const std::string& jobId, std::string* error) {
    auto pages = std::make_unique<DocumentPages>();
    if (!pages->Load(bytes, error)) return false;
    std::vector<std::string> printers;
    std::string chosen = document.printer, ignored;
    if (std::vector<cups::PrinterInfo> queues; cups::ListPrinters(&queues, &ignored))
        for (const cups::PrinterInfo& q : queues) {
            printers.push_back(q.name);
            if (chosen.empty() && q.isDefault) chosen = q.name;
        }
    const std::string title = jobId.empty() ? document.url : jobId;
    // Printed from the window with the job's options, on the printer the user chose; the page has
    // heard "shown" already, so the outcome goes to the log pane.
    auto* w = new frmDocumentPreview(std::move(pages), title, printers, chosen,
                                     [this, document, bytes, title](const std::string& printer) {
                                         DocumentPrint d = document;
                                         d.printer = printer;
                                         d.preview = false;
                                         PrintDocument(
                                             d, bytes, title,
                                             [this, title](const JobStep& step) {
                                                 if (step.kind == JobStep::Kind::Spooled)
                                                     AddLog("文档已打印：" + title);
                                                 else if (step.kind == JobStep::Kind::Failed)
                                                     AddLog("文档打印失败：" + title + " " + step.message);
                                             },
                                             offsetOf(), [this](std::string_view line) { AddLog(line); });
                                     });
    w->show();
    return true;
}

std::function<PrinterOffset(const std::string&)> ServerPrintHost::offsetOf() const {
    return [this](const std::string& queue) {
        return ParseOffset(m_window.settings().ReadIni(kOffsetSection, queue)).value_or(PrinterOffset{});
    };
}

bool ServerPrintHost::queueFull(std::size_t bytes) const {
    // While a request waits for the network, pages can send more than the agent will ever work
    // through; past these limits a request is refused at once instead of held. One request may
    // always wait, whatever its size.
    return m_queue.busy() && m_queue.waiting() > 0 &&
           (m_queue.waiting() >= kMaxWaitingRequests || m_queue.waitingBytes() + bytes > kMaxWaitingBytes);
}

void ServerPrintHost::enqueueRaw(LinkerPool::Peer sender, PageMessage m, std::string what) {
    // Followed as a report job is: its page may take it back by its id.
    const std::string key = FollowedKey(sender, m.jobId);
    auto job = std::make_shared<FollowedJob>();
    job->tracker = std::make_shared<JobTracker>(m.jobId, m.reportId);
    job->send = [this, sender](const std::string& answer) { sendTo(sender, answer); };
    job->headers = std::move(m.headers);
    const bool isRaw = m.kind == PageMessage::Kind::Raw;
    if (what.empty())
        what = isRaw                    ? std::to_string(m.raw.bytes.size()) + " bytes"
               : m.document.url.empty() ? std::string("Base64")
                                        : m.document.url;
    const std::uint64_t entry =
        record(sender, isRaw ? "raw" : "document", what, isRaw ? m.raw.printer : m.document.printer);
    if (isRaw) keep(entry, {m.kind, {}, m.raw, {}, what, m.raw.bytes.size()});
    if (!isRaw && m.document.url.empty())
        keep(entry, {m.kind, {}, {}, m.document, what, m.document.bytes.size()});
    const auto sendAndForget = [this, key, job, entry](const std::string& event) {
        job->send(event);
        recordEvent(entry, event);
        if (job->tracker->finished()) forget(key, job.get());
    };
    auto report = [this, job, sendAndForget](const JobStep& step) {
        if (job->cancelled) {
            // Taken back while it ran: what it did since is undone and not told.
            std::string ignored;
            if (step.kind == JobStep::Kind::Spooled)
                for (const int id : step.earlierCupsJobIds)
                    cups::CancelJob(id, &ignored);
            if (step.kind == JobStep::Kind::Spooled && step.cupsJobId)
                cups::CancelJob(step.cupsJobId, &ignored);
            return;
        }
        if (step.kind == JobStep::Kind::Spooled) job->earlierCupsJobs = step.earlierCupsJobIds;
        for (const std::string& event : job->tracker->feed(step))
            sendAndForget(event);
        if (step.kind == JobStep::Kind::Spooled && !job->tracker->finished())
            m_follower.follow(job->tracker, sendAndForget);
    };
    const std::size_t bytes = m.raw.bytes.size() + m.document.bytes.size();
    if (queueFull(bytes)) {
        JobStep busy(JobStep::Kind::Failed);
        busy.code = failure::kBusy;
        busy.message = "too many requests waiting";
        for (const std::string& event : job->tracker->feed(busy))
            sendAndForget(event);
        return;
    }
    m_followed.emplace(key, job);
    // Runs with the job as the one being carried out, so that its transfers take its headers and a
    // cancel aborts them.
    const auto running = [this, job](const RequestQueue::Finished& finished) {
        m_running = job;
        return RequestQueue::Finished([this, finished] {
            m_running.reset();
            finished();
        });
    };
    if (m.kind == PageMessage::Kind::Document) {
        job->queued = m_queue.Push(
            [this, running, job, entry, document = std::move(m.document), jobId = m.jobId,
             reportId = m.reportId, report](const RequestQueue::Finished& queueFinished) {
                const RequestQueue::Finished finished = running(queueFinished);
                report(JobStep::Kind::Accepted);
                if (document.url.empty()) {
                    carryOutDocument(document, document.bytes, jobId, reportId, report, finished);
                    return;
                }
                AddLog("document " + jobId + ": " + document.url);
                // Downloaded beside the event loop with the limits of a template; carried out back on it.
                transfer([this, document, jobId, reportId, report, finished, entry,
                          headers = job->headers](const std::atomic<bool>& abort) {
                    TransferPace pace;
                    pace.abort = &abort;
                    auto body = std::make_shared<std::string>();
                    const bool ok = DownloadToString(document.url, kMaxTemplateBytes, *body, pace, headers);
                    return Transfers::Then(
                        [this, document, jobId, reportId, report, finished, entry, ok, body] {
                            if (m_running && m_running->cancelled) return finished();
                            if (ok) {
                                DocumentPrint downloaded = document;
                                downloaded.bytes = *body;
                                keep(entry, {PageMessage::Kind::Document,
                                             {},
                                             {},
                                             downloaded,
                                             document.url,
                                             body->size()});
                                carryOutDocument(document, *body, jobId, reportId, report, finished);
                                return;
                            }
                            JobStep failed(JobStep::Kind::Failed);
                            failed.code = failure::kDocumentNotFound;
                            failed.message = "cannot download the document from " + document.url;
                            report(failed);
                            finished();
                        });
                });
            },
            bytes);
        return;
    }
    // Raw jobs keep their place among report requests: a label follows the report sent before it.
    job->queued = m_queue.Push(
        [this, running, raw = std::move(m.raw), jobId = m.jobId,
         report](const RequestQueue::Finished& finished) {
            const RequestQueue::Finished done = running(finished);
            AddLog("raw job " + jobId + " for " + raw.printer + ": " + std::to_string(raw.bytes.size()) +
                   " bytes");
            PrintRaw(raw, jobId, report);
            done();
        },
        bytes);
}

std::uint64_t ServerPrintHost::enqueue(std::string text, std::optional<JobRun> job,
                                       std::shared_ptr<FollowedJob> followed, std::uint64_t entry) {
    const std::size_t bytes = text.size();
    if (queueFull(bytes)) {
        RefuseRequest(*this, text, job, "too many requests waiting");
        if (entry) recordState(entry, "refused");
        return 0;
    }
    return m_queue.Push(
        [this, text = std::move(text), job = std::move(job), bytes, entry,
         followed = std::move(followed)](RequestQueue::Finished finished) mutable {
            m_running = followed;
            RepPrint(*this, m_store, std::move(text), std::move(job),
                     afterRequest(bytes, [this, entry, finished = std::move(finished)] {
                         m_running.reset();
                         // Nobody hears how a plain request went: the history says it has run.
                         if (entry) recordState(entry, "ended");
                         finished();
                     }));
        },
        bytes);
}

void ServerPrintHost::sendTo(LinkerPool::Peer peer, const std::string& text) {
    std::string frame;
    try {
        frame = mWSProtocol::PackString(text, 1);
    } catch (const std::exception&) {
        frame =
            mWSProtocol::PackString(ErrorAnswer("answer-too-large", "the answer does not fit one frame"), 1);
    }
    m_window.linkers().SendTo(peer, frame);
}

std::string ServerPrintHost::printersAnswer() {
    std::vector<PrinterFacts> printers;
    std::string error;
    if (!ListPrinterFacts(&printers, &error)) return ErrorAnswer("printers-unavailable", error);
    std::string answer = PrintersAnswer(printers);
    // Media lists are what can grow; a machine with very many queues gets the list without them.
    if (answer.size() > mWSProtocol::kMaxPackedPayload) {
        for (PrinterFacts& p : printers) {
            p.media.clear();
            p.papers.clear();
        }
        answer = PrintersAnswer(printers);
    }
    return answer;
}

std::uint64_t ServerPrintHost::record(LinkerPool::Peer sender, std::string kind, std::string what,
                                      std::string printer) {
    HistoryEntry e;
    e.time = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
    e.origin = m_window.linkers().OriginOf(sender);
    e.kind = std::move(kind);
    e.what = std::move(what);
    e.printer = std::move(printer);
    e.state = "accepted";
    const std::uint64_t id = m_history.Add(std::move(e));
    historyChanged();
    return id;
}

void ServerPrintHost::recordEvent(std::uint64_t entry, const std::string& event) {
    try {
        const JsonDocument doc = JsonDocument::Parse(event);
        if (const std::string state = doc.root().value("state").text; !state.empty())
            recordState(entry, state);
    } catch (const JsonError&) {
    }
}

void ServerPrintHost::recordState(std::uint64_t entry, std::string_view state) {
    if (const HistoryEntry* e = m_history.Find(entry);
        e && e->state != state && m_history.SetState(entry, state))
        historyChanged();
}

void ServerPrintHost::keep(std::uint64_t entry, Kept kept) {
    if (kept.bytes > kMaxKeptJobBytes) return;
    m_keptBytes += kept.bytes;
    m_kept.insert_or_assign(entry, std::move(kept));
    // The oldest go first; so do those the history no longer lists.
    while (!m_kept.empty() && (m_keptBytes > kMaxKeptBytes || !m_history.Find(m_kept.begin()->first))) {
        m_keptBytes -= m_kept.begin()->second.bytes;
        m_kept.erase(m_kept.begin());
    }
}

void ServerPrintHost::historyChanged() {
    if (!m_saveHistory.isActive()) m_saveHistory.start();
}

void ServerPrintHost::saveHistory() {
    // Small (200 lines at most): written whole, replacing the old file at once.
    QSaveFile file(QString::fromStdString(m_historyFile.string()));
    if (file.open(QIODevice::WriteOnly)) {
        const std::string text = m_history.ToText();
        file.write(text.data(), qint64(text.size()));
        file.commit();
    }
    if (m_historyWindow) m_historyWindow->Refresh();
}

void ServerPrintHost::ShowHistory() {
    if (!m_historyWindow) {
        m_historyWindow = new frmHistory({[this]() -> const JobHistory& { return m_history; },
                                          [this](std::uint64_t id) { return CanReprint(id); },
                                          [this](std::uint64_t id) { Reprint(id); }},
                                         &m_window);
        m_historyWindow->setAttribute(Qt::WA_DeleteOnClose);
        m_historyWindow->setWindowFlag(Qt::Window);
    }
    m_historyWindow->Refresh();
    m_historyWindow->show();
    m_historyWindow->raise();
    m_historyWindow->activateWindow();
}

void ServerPrintHost::Reprint(std::uint64_t entry) {
    const auto found = m_kept.find(entry);
    if (found == m_kept.end()) return;
    const Kept kept = found->second; // keep() may drop it meanwhile
    AddLog("重新打印：" + (kept.what.empty() ? TemplateAndPrinter(kept.text).first : kept.what));
    if (kept.kind == PageMessage::Kind::Request) {
        auto [repname, printer] = TemplateAndPrinter(kept.text);
        const std::uint64_t again = record({}, "report", std::move(repname), std::move(printer));
        keep(again, kept);
        enqueue(kept.text, std::nullopt, {}, again);
        return;
    }
    PageMessage m;
    m.kind = kept.kind;
    m.raw = kept.raw;
    m.document = kept.document;
    m.document.url.clear();
    enqueueRaw({}, std::move(m), kept.what);
}

void ServerPrintHost::AddLog(std::string_view line) {
    m_window.AddLog(QString::fromUtf8(line.data(), qsizetype(line.size())));
}

void ServerPrintHost::WriteLog(std::string_view line) {
    m_window.WriteLog(std::string(line));
}

void ServerPrintHost::Reply(std::string_view text) {
    m_window.Reply(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

std::string ServerPrintHost::ReadRequestFile() {
    return m_window.ReadTextFile(m_window.programFolder() / "repdata.txt").toStdString();
}

void ServerPrintHost::OpenDesigner(const DesignHandOver& h) {
    if (!m_designer) {
        m_designer = new frmDesign(m_window.programFolder());
        m_designer->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_designer->reportFileName = h.reportFileName;
    m_designer->reportId = h.reportId;
    m_designer->reportAdd = h.reportAdd;
    m_designer->reportDownurl = h.reportDownurl;
    // The designer asks before another page's request replaces unsaved edits: it needs to know whose it is.
    const LinkerPool::Peer peer = m_window.linkers().deliveringPeer();
    m_designer->requester =
        peer.index < 0 ? std::string() : std::to_string(peer.index) + "/" + std::to_string(peer.generation);
    m_designer->Show();
}

std::optional<JobFailure> ServerPrintHost::OpenPreview(const std::string& reportFileData,
                                                       const std::string& reportPreview) {
    auto* w = new frmPreview(m_window.programFolder());
    w->reportFileData = reportFileData;
    w->reportPreview = reportPreview;
    return w->Show(); // stays until the user closes it; then it releases itself
}

OutputResult ServerPrintHost::OpenOutput(const std::string& reportFileData, const std::string& reportPreview,
                                         const JobOptions& options) {
    // An output window has done all it will do when Show() returns: it and its report go right
    // then, not at a later turn of the event loop, so a burst of large jobs does not pile up.
    // The window may already be gone if the agent ended while it let events run.
    QPointer<frmPdfFile> w = new frmPdfFile(m_window.programFolder());
    const auto release = qScopeGuard([&w] { delete w.data(); });
    w->reportFileData = reportFileData;
    w->reportPreview = reportPreview;
    return w->Show(options);
}

void ServerPrintHost::Upload(const PdfUpload& upload, UploadDone done) {
    const std::vector<std::string> headers = m_running ? m_running->headers : std::vector<std::string>{};
    const auto now = std::chrono::steady_clock::now();
    const bool sweep = now - m_lastSweep >= kSweepFailedPdfsEvery;
    if (sweep) m_lastSweep = now;
    transfer([upload, done, headers, sweep, folder = m_store.folder()](const std::atomic<bool>& abort) {
        long status = 0;
        std::exception_ptr error;
        try {
            TransferPace pace;
            pace.abort = &abort;
            status = PostReportFile(upload.file, upload.reportAdd, upload.reportId, pace, headers);
        } catch (...) {
            error = std::current_exception();
        }
        // The page hears of the upload first; the files are seen to beside it.
        return Transfers::Outcome([done, status, error] { done(status, error); },
                                  [file = upload.file, status, sweep, folder] {
                                      SettleUploadedPdf(file, status);
                                      if (sweep) RemoveOldFailedPdfs(folder);
                                  });
    });
}

} // namespace verolux
