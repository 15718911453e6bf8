// The print procedure against a fake main window: which window each request reaches, what every page
// is told, and what the sender of a followed job hears. The same request without a job must give the
// same calls and replies, and no events.
#include "tests/common/TempFolder.h"
#include "tests/printing/EventSummary.h"

#include "agent/printing/RepPrint.h"
#include "common/Http.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <vector>

using namespace verolux;
namespace fs = std::filesystem;

namespace {

// What the window does when asked to open one.
enum class Outcome { Fine, PreviewFails, ExportFails, UploadUnreachable, Upload500 };

class FakeHost : public PrintHost {
  public:
    Outcome outcome = Outcome::Fine;
    // In order, joined by " | ": "log:…" (pane), "file:…" (log file), "reply:…", "designer", "preview",
    // "output:copies", "upload:reportId".
    std::string calls;
    void call(const std::string& c) { calls += (calls.empty() ? "" : " | ") + c; }

    void AddLog(std::string_view line) override { call("log:" + std::string(line)); }
    void WriteLog(std::string_view line) override { call("file:" + std::string(line)); }
    void Reply(std::string_view text) override { call("reply:" + std::string(text)); }
    std::string ReadRequestFile() override { return {}; }
    void OpenDesigner(const DesignHandOver&) override { call("designer"); }
    std::optional<JobFailure> OpenPreview(const std::string&, const std::string&) override {
        call("preview");
        if (outcome == Outcome::PreviewFails)
            return JobFailure{failure::kTemplateInvalid, "line 3: not JSON"};
        return std::nullopt;
    }
    OutputResult OpenOutput(const std::string&, const std::string& preview,
                            const JobOptions& options) override {
        call("output:" + std::to_string(options.copies));
        if (outcome == Outcome::ExportFails) throw JobError(failure::kExportFailed, "disk full");
        if (preview == "2") return {0, 0, PdfUpload{"/r/R1.pdf", "http://b/up", "R1"}};
        return {42, 0, std::nullopt};
    }
    void Upload(const PdfUpload& upload, UploadDone done) override {
        call("upload:" + upload.reportId);
        if (outcome == Outcome::UploadUnreachable)
            return done(0, std::make_exception_ptr(HttpError("POST failed: refused")));
        done(outcome == Outcome::Upload500 ? 500 : 200, nullptr);
    }
};

struct Case {
    const char* name;
    const char* request; // nullptr for the default with the fields below
    const char* preview;
    const char* sdesign;
    bool templateThere;
    Outcome outcome;
    const char* calls;  // the host's calls, joined by " | "
    const char* events; // what the job's page hears, as EventSummary gives it
};

// A call ending in "…" matches any call it begins.
const Case kCases[] = {
    {"pdfUploaded", nullptr, "2", "0", true, Outcome::Fine, "output:2 | upload:R1", "accepted uploaded:200"},
    {"uploadRejectedChangesNothingElse", nullptr, "2", "0", true, Outcome::Upload500, "output:2 | upload:R1",
     "accepted failed:upload-rejected:500"},
    {"uploadUnreachable", nullptr, "2", "0", true, Outcome::UploadUnreachable,
     "output:2 | upload:R1 | log:RepPrint 过程出错！POST failed: refused | file:{\"preview\":\"2\"… | "
     "reply:RepPrint "
     "过程出错！",
     "accepted failed:upload-failed"},
    {"exportFails", nullptr, "2", "0", true, Outcome::ExportFails,
     "output:2 | log:RepPrint 过程出错！disk full | file:{\"preview\":\"2\"… | reply:RepPrint 过程出错！",
     "accepted failed:export-failed"},
    {"printSpooled", nullptr, "", "0", true, Outcome::Fine, "output:2", "accepted spooled:42"},
    {"previewShown", nullptr, "1", "0", true, Outcome::Fine, "preview", "accepted shown"},
    {"previewFailsQuietly", nullptr, "1", "0", true, Outcome::PreviewFails, "preview",
     "accepted failed:template-invalid"},
    {"designerWinsOverPdf", nullptr, "2", "1", true, Outcome::Fine, "designer", "accepted opened"},
    {"templateMissing", nullptr, "2", "0", false, Outcome::Fine,
     "log:更新文件：t.grf | log:找不到报表文件:t.grf | file:t.grf   http://b/t.grf\r下载失败 | "
     "reply:找不到报表文件:t.grf",
     "accepted failed:template-not-found"},
    {"emptyText", "", "", "", true, Outcome::Fine, "log:没有 Json 数据", ""}, // not answered
    {"notJson", "{", "", "", true, Outcome::Fine,
     "log:RepPrint 过程出错！not a JSON text… | file:{ | reply:RepPrint 过程出错！", "failed:bad-request"},
    {"nameNotPlain", nullptr, "2", "0", true, Outcome::Fine,
     "log:RepPrint 过程出错！… | file:… | reply:RepPrint 过程出错！", "accepted failed:bad-request"},
};

std::string Request(const Case& c, const std::string& repname) {
    if (c.request) return c.request;
    return std::string(R"({"preview":")") + c.preview + R"(","repname":")" + repname +
           R"(","reptype":"","reguserno":"","reprintname":"","sdesign":")" + c.sdesign +
           R"(","reporturl":"http://b/t.grf","reportmd5":"","reportId":"R1","reportAdd":"http://b/up","repdata":[]})";
}

// `expected` with each "…" standing for any text up to the next " | " or the end.
bool Matches(const std::string& calls, const std::string& expected) {
    std::string pattern;
    for (const char c : expected)
        pattern += std::string(std::strchr(".^$|()[]{}*+?\\", c) && c ? "\\" : "") + c;
    for (std::size_t at; (at = pattern.find("…")) != std::string::npos;)
        pattern.replace(at, std::string("…").size(), "((?! \\| )[\\s\\S])*");
    return std::regex_match(calls, std::regex(pattern));
}

class Procedure : public ::testing::TestWithParam<Case> {
  protected:
    void TearDown() override { fs::remove_all(m_dir); }

    // Runs the request once, with or without a job, and returns the host's calls.
    std::string Run(const std::string& text, const JobRun* job) {
        FakeHost host;
        host.outcome = GetParam().outcome;
        mINI::Settings settings(m_dir);
        settings.WriteIni("fileUrl", "t.grf", "http://b/t.grf");
        const TemplateStore store(
            TemplateFolder(m_dir), settings, [&host](std::string_view line) { host.AddLog(line); },
            [](const std::string&, const fs::path&, TemplateStore::DownloadDone done) { done(false); });
        int finished = 0;
        RepPrint(host, store, text, job ? std::optional<JobRun>(*job) : std::nullopt,
                 [&finished] { ++finished; });
        EXPECT_EQ(finished, 1) << "every request ends once";
        return host.calls;
    }

    fs::path m_dir = testsupport::FreshTempFolder("vx-repprint");
};

TEST_P(Procedure, CallsRepliesAndEvents) {
    const Case& c = GetParam();
    fs::create_directories(m_dir / "report");
    if (c.templateThere) std::ofstream(m_dir / "report" / "t.grf") << "x";
    const std::string text = Request(c, std::string(c.name) == "nameNotPlain" ? "../t.grf" : "t.grf");

    JobTracker tracker("j", "R1");
    std::vector<std::string> events;
    const JobRun job{{2, std::nullopt, ""}, [&](const JobStep& s) {
                         for (std::string& e : tracker.feed(s))
                             events.push_back(std::move(e));
                     }};
    const std::string calls = Run(text, &job);
    EXPECT_TRUE(Matches(calls, c.calls)) << calls;
    EXPECT_EQ(testsupport::EventSummary(events), c.events);

    // Without a job: the same calls and replies, the template's own copies.
    std::string expected = calls;
    for (std::size_t at; (at = expected.find("output:2")) != std::string::npos;)
        expected.replace(at, 8, "output:1");
    EXPECT_EQ(Run(text, nullptr), expected);
}

INSTANTIATE_TEST_SUITE_P(Table, Procedure, ::testing::ValuesIn(kCases),
                         [](const auto& row) { return std::string(row.param.name); });

// A request refused for want of room takes the error path; its page's job ends as agent-busy.
TEST(ProcedureStages, RefusedRequest) {
    FakeHost host;
    JobTracker tracker("j", "R1");
    std::vector<std::string> events;
    const JobRun job{{}, [&](const JobStep& s) {
                         for (std::string& e : tracker.feed(s))
                             events.push_back(std::move(e));
                     }};
    RefuseRequest(host, "{\"x\":1}", job, "too many requests waiting");
    EXPECT_EQ(
        host.calls,
        "log:RepPrint 过程出错！too many requests waiting | file:{\"x\":1} | reply:RepPrint 过程出错！");
    EXPECT_EQ(testsupport::EventSummary(events), "failed:agent-busy");
}

// A request waiting for its template has opened nothing and is not finished; once the download
// ends it goes on where it stopped.
TEST(ProcedureStages, GoesOnWhenTheDownloadEnds) {
    const fs::path dir = testsupport::FreshTempFolder("vx-repprint-stages");
    fs::create_directories(dir / "report");
    FakeHost host;
    mINI::Settings settings(dir);
    std::function<void()> pending;
    const TemplateStore store(
        TemplateFolder(dir), settings, [&host](std::string_view line) { host.AddLog(line); },
        [&pending](const std::string&, const fs::path& path, TemplateStore::DownloadDone done) {
            pending = [path, done] {
                std::ofstream(path) << "x";
                done(true);
            };
        });
    bool finished = false;
    RepPrint(
        host, store,
        R"({"preview":"2","repname":"t.grf","reptype":"","reguserno":"","reprintname":"","sdesign":"0",)"
        R"("reporturl":"http://b/t.grf","reportmd5":"","reportId":"R1","reportAdd":"http://b/up","repdata":[]})",
        std::nullopt, [&finished] { finished = true; });
    EXPECT_EQ(host.calls, "log:更新文件：t.grf");
    ASSERT_TRUE(pending);
    EXPECT_FALSE(finished);
    pending();
    EXPECT_EQ(host.calls, "log:更新文件：t.grf | output:1 | upload:R1");
    EXPECT_TRUE(finished);
    EXPECT_EQ(settings.ReadIni("fileUrl", "t.grf"), "http://b/t.grf");
    fs::remove_all(dir);
}

} // namespace
