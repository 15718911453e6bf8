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

void RepPrint(PrintHost& host, const TemplateStore& store, std::string text) {
    std::string request = text.empty() ? host.ReadRequestFile() : std::move(text);
    if (request.empty()) {
        host.AddLog(kNoJsonData);
        return;
    }
    try {
        const PrintRequest r = PrintRequest::Read(request);
        const TemplateStore::Result t = store.Refresh(r.repname, r.reporturl, r.reportmd5);
        if (!t.exists) {
            const std::string reply = std::string(kNotFoundReply) + r.repname;
            host.AddLog(reply);
            host.WriteLog(r.repname + "   " + r.reporturl + "\r" + "下载失败");
            host.Reply(reply);
            return;
        }
        if (r.sdesign == "1") {
            host.OpenDesigner({t.path.string(), r.reportId, r.reportAdd, r.reporturl});
            return;
        }
        if (r.preview == "1") {
            host.OpenPreview(request, r.preview);
            return;
        }
        host.OpenOutput(request, r.preview);
    } catch (const std::exception& e) {
        ErrorPath(host, request, e.what());
    } catch (...) {
        ErrorPath(host, request, "unknown error");
    }
}

} // namespace verolux
