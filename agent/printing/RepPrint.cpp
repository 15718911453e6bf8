#include "agent/printing/RepPrint.h"

#include "agent/printing/PrintRequest.h"
#include "common/LogFile.h"

#include <exception>

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

} // namespace

void RepPrint(PrintHost& host, const TemplateStore& store, std::string text, const JobRun* job) {
    const auto tell = [job](const JobStep& step) {
        if (job) job->report(step);
    };
    const auto failed = [&tell](const JobFailure& f) {
        JobStep step{JobStep::Kind::Failed};
        step.code = f.code;
        step.message = f.message;
        tell(step);
    };
    std::string request = text.empty() ? host.ReadRequestFile() : std::move(text);
    if (request.empty()) {
        host.AddLog(kNoJsonData);
        return;
    }
    try {
        const PrintRequest r = PrintRequest::Read(request);
        tell({JobStep::Kind::Accepted});
        const TemplateStore::Result t = store.Refresh(r.repname, r.reporturl, r.reportmd5);
        if (!t.exists) {
            const std::string reply = std::string(kNotFoundReply) + r.repname;
            host.AddLog(reply);
            host.WriteLog(r.repname + "   " + r.reporturl + "\r" + "下载失败");
            failed({failure::kTemplateNotFound, reply});
            host.Reply(reply);
            return;
        }
        if (r.sdesign == "1") {
            host.OpenDesigner({t.path.string(), r.reportId, r.reportAdd, r.reporturl});
            tell({JobStep::Kind::Opened});
            return;
        }
        if (r.preview == "1") {
            const std::optional<JobFailure> failure = host.OpenPreview(request, r.preview);
            if (failure)
                failed(*failure);
            else
                tell({JobStep::Kind::Shown});
            return;
        }
        const OutputResult out = host.OpenOutput(request, r.preview, job ? job->options : JobOptions{});
        JobStep done{r.preview == "2" ? JobStep::Kind::Uploaded : JobStep::Kind::Spooled};
        done.httpStatus = out.httpStatus;
        done.cupsJobId = out.cupsJobId;
        tell(done);
    } catch (const std::exception& e) {
        failed(FailureOf(e));
        ErrorPath(host, request, e.what());
    } catch (...) {
        failed({failure::kInternal, "unknown error"});
        ErrorPath(host, request, "unknown error");
    }
}

} // namespace verolux
