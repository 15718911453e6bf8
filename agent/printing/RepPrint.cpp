#include "agent/printing/RepPrint.h"

#include "agent/printing/PrintRequest.h"
#include "common/LogFile.h"

#include <exception>
#include <memory>

namespace verolux {
namespace {

void ErrorPath(PrintHost& host, const std::string& requestText, std::string_view description) {
    // Each step guards itself: the error path must reach the pages even if the log file fails.
    std::string line(kRepPrintFailed);
    line.append(description);
    host.AddLog(line);
    try {
        host.WriteLog(LogExcerpt(requestText)); // a request of any size, a log line of bounded size
    } catch (...) {
    }
    host.Reply(kRepPrintFailed);
}

// One request on its way: the stages share it, and the last one that holds it ends it.
class PrintRun : public std::enable_shared_from_this<PrintRun> {
  public:
    PrintRun(PrintHost& host, const TemplateStore& store, std::string request, std::optional<JobRun> job,
             std::function<void()> finished)
        : m_host(host), m_store(store), m_request(std::move(request)), m_job(std::move(job)),
          m_finished(std::move(finished)) {}

    void Start() {
        guarded([this] {
            const PrintRequest r = PrintRequest::Read(m_request);
            // The keys alone: the parsed rows need not wait through a download.
            m_r = {r.preview, r.repname, r.sdesign, r.reporturl, r.reportId, r.reportAdd};
            tell({JobStep::Kind::Accepted});
            m_store.Refresh(r.repname, r.reporturl, r.reportmd5,
                            [self = shared_from_this()](const TemplateStore::Result& t) {
                                if (self->cancelled()) return self->end();
                                self->guarded([&] { self->templateReady(t); });
                            });
        });
    }

  private:
    void templateReady(const TemplateStore::Result& t) {
        if (!t.exists) {
            const std::string reply = std::string(kNotFoundReply) + m_r.repname;
            m_host.AddLog(reply);
            m_host.WriteLog(m_r.repname + "   " + m_r.reporturl + "\r" + "下载失败");
            failed({failure::kTemplateNotFound, reply});
            m_host.Reply(reply);
            return end();
        }
        if (m_r.sdesign == "1") {
            m_host.OpenDesigner({t.path.string(), m_r.reportId, m_r.reportAdd, m_r.reporturl});
            tell({JobStep::Kind::Opened});
            return end();
        }
        if (m_r.preview == "1") {
            const std::optional<JobFailure> failure = m_host.OpenPreview(m_request, m_r.preview);
            if (failure)
                failed(*failure);
            else
                tell({JobStep::Kind::Shown});
            return end();
        }
        const OutputResult out =
            m_host.OpenOutput(m_request, m_r.preview, m_job ? m_job->options : JobOptions{});
        // A print goes on to be spooled: its page's cancel then reaches the job in CUPS.
        if (!out.upload) return done(out);
        if (cancelled()) return end();
        m_host.Upload(*out.upload, [self = shared_from_this(), out](long status, std::exception_ptr error) {
            if (self->cancelled()) return self->end();
            self->guarded([&] {
                if (error) std::rethrow_exception(error);
                OutputResult uploaded = out;
                uploaded.httpStatus = status;
                self->done(uploaded);
            });
        });
    }

    void done(const OutputResult& out) {
        JobStep step{m_r.preview == "2" ? JobStep::Kind::Uploaded : JobStep::Kind::Spooled};
        step.httpStatus = out.httpStatus;
        step.cupsJobId = out.cupsJobId;
        tell(step);
        end();
    }

    // Runs one stage; whatever it throws ends the request through the error path.
    template <class Stage> void guarded(Stage&& stage) {
        try {
            stage();
            return;
        } catch (const std::exception& e) {
            failed(FailureOf(e));
            ErrorPath(m_host, m_request, e.what());
        } catch (...) {
            failed({failure::kInternal, "unknown error"});
            ErrorPath(m_host, m_request, "unknown error");
        }
        end();
    }

    bool cancelled() const { return m_job && m_job->cancelled && m_job->cancelled(); }
    void tell(const JobStep& step) {
        if (m_job) m_job->report(step);
    }
    void failed(const JobFailure& f) {
        JobStep step{JobStep::Kind::Failed};
        step.code = f.code;
        step.message = f.message;
        tell(step);
    }
    void end() {
        if (!m_finished) return;
        auto finished = std::move(m_finished);
        m_finished = nullptr;
        finished();
    }

    PrintHost& m_host;
    const TemplateStore& m_store;
    std::string m_request;
    std::optional<JobRun> m_job;
    std::function<void()> m_finished;
    struct {
        std::string preview, repname, sdesign, reporturl, reportId, reportAdd;
    } m_r;
};

} // namespace

void RefuseRequest(PrintHost& host, const std::string& text, const std::optional<JobRun>& job,
                   std::string_view reason) {
    if (job) {
        JobStep step{JobStep::Kind::Failed};
        step.code = failure::kBusy;
        step.message = std::string(reason);
        job->report(step);
    }
    ErrorPath(host, text, reason);
}

void RepPrint(PrintHost& host, const TemplateStore& store, std::string text, std::optional<JobRun> job,
              std::function<void()> finished) {
    std::string request = text.empty() ? host.ReadRequestFile() : std::move(text);
    if (request.empty()) {
        host.AddLog(kNoJsonData);
        if (finished) finished();
        return;
    }
    std::make_shared<PrintRun>(host, store, std::move(request), std::move(job), std::move(finished))->Start();
}

} // namespace verolux
