// The `verolux` extension's decisions: what a message is, and which events a page hears, in order.
#include "tests/printing/EventSummary.h"

#include "agent/printing/AgentAnswers.h"
#include "agent/printing/JobHeaders.h"
#include "agent/printing/JobTracker.h"
#include "agent/printing/PageMessage.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

using namespace verolux;
using Kind = PageMessage::Kind;

namespace {

struct MessageCase {
    const char* name;
    std::string text;
    Kind kind;
    const char* detail; // jobId for jobs, a piece of the error otherwise
};

const std::string kRequest = R"("preview":"2","repname":"a.grf","reportId":"R7","repdata":[])";

const MessageCase kMessages[] = {
    // Without the key (or without a JSON object) nothing changes: the print procedure has it.
    {"plainRequest", "{" + kRequest + "}", Kind::Request, ""},
    {"keyOnlyInARow", R"({"repdata":[{"verolux":"hello"}]})", Kind::Request, ""},
    {"notJson", R"({"verolux":"hello")", Kind::Request, ""},
    {"keyInAString", R"({"note":"\"verolux\""})", Kind::Request, ""},
    {"hello", R"({"verolux":"hello"})", Kind::Hello, ""},
    {"printers", R"({"verolux":"printers"})", Kind::Printers, ""},
    {"unknownQuestion", R"({"verolux":"status"})", Kind::Unknown, "\"status\""},
    {"questionOfWrongType", R"({"verolux":1})", Kind::Unknown, "unknown question 1"},
    {"emptyOptions", R"({"verolux":{},)" + kRequest + "}", Kind::Job, ""},
    {"allOptions",
     R"({"verolux":{"jobId":"j1","copies":2,"duplex":"long","pages":"1-3,5"},)" + kRequest + "}", Kind::Job,
     "j1"},
    {"numericJobId", R"({"verolux":{"jobId":42},)" + kRequest + "}", Kind::Job, "42"},
    {"copiesZero", R"({"verolux":{"copies":0,"jobId":"j"}})", Kind::BadJob, "copies must be"},
    {"copiesAt999", R"({"verolux":{"copies":999,"jobId":"j999"},)" + kRequest + "}", Kind::Job, "j999"},
    {"copiesAbove999", R"({"verolux":{"copies":1000}})", Kind::BadJob, "from 1 to 999"},
    {"copiesFraction", R"({"verolux":{"copies":1.5}})", Kind::BadJob, "copies must be"},
    {"duplexUnknown", R"({"verolux":{"duplex":"both"}})", Kind::BadJob, "duplex must be"},
    {"pagesBackwards", R"({"verolux":{"pages":"5-3"}})", Kind::BadJob, "pages must"},
    {"unknownOption", R"({"verolux":{"colour":true}})", Kind::BadJob, "unknown option \"colour\""},
    {"jobIdObject", R"({"verolux":{"jobId":{}}})", Kind::BadJob, "jobId must be"},
    // A page takes back a job of its own by its id, and says nothing else in that message.
    {"cancel", R"({"verolux":{"cancel":"j1"}})", Kind::Cancel, "j1"},
    {"cancelNumericId", R"({"verolux":{"cancel":7},)" + kRequest + "}", Kind::Cancel, "7"},
    {"cancelWithOptions", R"({"verolux":{"cancel":"j","copies":2}})", Kind::Unknown, "a cancel is"},
    {"cancelObject", R"({"verolux":{"cancel":{}}})", Kind::Unknown, "a cancel is"},
    // Headers for the job's own transfers: tokens for names, one-line strings for values.
    {"headers", R"({"verolux":{"jobId":"h","headers":{"Authorization":"Bearer s3cret"}},)" + kRequest + "}",
     Kind::Job, "h"},
    {"headersNotObject", R"({"verolux":{"headers":["s3cret"]}})", Kind::BadJob, "must be an object"},
    {"headerNameNoToken", R"({"verolux":{"headers":{"X Key":"s3cret"}}})", Kind::BadJob, "not an HTTP token"},
    {"headerValueCrLf", R"({"verolux":{"headers":{"X-Key":"s3cret\r\nHost: evil"}}})", Kind::BadJob,
     "line break"},
    {"headerValueNumber", R"({"verolux":{"headers":{"X-Key":12}}})", Kind::BadJob, "must be a string"},
    {"headerFramesTheMessage", R"({"verolux":{"headers":{"content-length":"5"}}})", Kind::BadJob,
     "the agent's own"},
};

TEST(PageMessage, Kinds) {
    for (const MessageCase& c : kMessages) {
        const PageMessage m = ReadPageMessage(c.text);
        EXPECT_EQ(m.kind, c.kind) << c.name;
        EXPECT_TRUE(m.kind == Kind::Job || m.kind == Kind::Cancel
                        ? m.jobId == c.detail
                        : m.error.find(c.detail) != std::string::npos)
            << c.name << ": " << m.jobId << " " << m.error;
        EXPECT_EQ(m.error.find("s3cret"), std::string::npos) << c.name; // a refusal never quotes a value
    }
    // A refused job is still named.
    EXPECT_EQ(ReadPageMessage(R"({"verolux":{"copies":0,"jobId":"j"}})").jobId, "j");
}

TEST(PageMessage, OptionsAndReportIdReachTheJob) {
    const PageMessage m = ReadPageMessage(
        R"({"verolux":{"jobId":"j1","copies":2,"duplex":"short","pages":"2-"},)" + kRequest + "}");
    EXPECT_EQ(m.options, (JobOptions{2, Duplex::Short, "2-"}));
    EXPECT_EQ(m.reportId, "R7");
    EXPECT_EQ(ReadPageMessage(R"({"verolux":{"copies":999},)" + kRequest + "}").options.copies, 999);
    EXPECT_EQ(ReadPageMessage(R"({"verolux":{}})").options, JobOptions{}); // printer's own duplex
}

TEST(PageMessage, HeadersBecomeLinesWithinTheirLimits) {
    const PageMessage m = ReadPageMessage(
        R"({"verolux":{"headers":{"Authorization":"Bearer s3cret","Cookie":"a=1; b=2","X-Empty":""}},)" +
        kRequest + "}");
    EXPECT_EQ(m.headers,
              (std::vector<std::string>{"Authorization: Bearer s3cret", "Cookie: a=1; b=2", "X-Empty;"}));
    EXPECT_TRUE(ReadPageMessage(R"({"verolux":{},)" + kRequest + "}").headers.empty());

    const auto withHeaders = [](std::size_t count, std::size_t valueBytes) {
        std::string list;
        for (std::size_t i = 0; i < count; ++i)
            list +=
                (i ? "," : "") + ("\"X-" + std::to_string(i) + "\":\"" + std::string(valueBytes, 'v') + "\"");
        return ReadPageMessage(R"({"verolux":{"headers":{)" + list + "}}}");
    };
    EXPECT_EQ(withHeaders(kMaxJobHeaders, 10).kind, Kind::Job);
    EXPECT_EQ(withHeaders(kMaxJobHeaders + 1, 10).kind, Kind::BadJob);
    EXPECT_EQ(withHeaders(1, kMaxJobHeaderBytes - 3).kind, Kind::Job); // "X-0" and its value
    EXPECT_EQ(withHeaders(1, kMaxJobHeaderBytes - 2).kind, Kind::BadJob);
}

TEST(PageMessage, RequestWithoutHeadersReadsTheSame) {
    const std::string text =
        R"({"preview":"2","verolux":{"jobId":"j","headers":{"Cookie":"s3cret"},"copies":2},)"
        R"("repname":"a.grf","reportId":"R7","repdata":[{"n":1e21,"s":"\u00e9"}],"p":true})";
    const std::string kept = WithoutJobHeaders(text);
    EXPECT_EQ(kept.find("s3cret"), std::string::npos);
    EXPECT_EQ(kept, R"({"preview":"2","verolux":{"jobId":"j","copies":2},"repname":"a.grf","reportId":"R7",)"
                    R"("repdata":[{"n":1e21,"s":"é"}],"p":true})");
    const PageMessage m = ReadPageMessage(kept);
    EXPECT_EQ(std::tuple(m.kind, m.jobId, m.options.copies), std::tuple(Kind::Job, std::string("j"), 2));
    EXPECT_EQ(WithoutJobHeaders("not json"), "not json");
}

TEST(PageMessage, PageRanges) {
    for (const char* good : {"1", "1-3", "1-3,5", "2-", "1,1", "10-10"})
        EXPECT_TRUE(ValidPageRanges(good)) << good;
    for (const char* bad : {"", ",", "1,", "-3", "a", "1-2-3", "3-1", "0-2", "1 - 2", "1;2", "9999999"})
        EXPECT_FALSE(ValidPageRanges(bad)) << bad;
}

using K = JobStep::Kind;
using C = JobStep::Cups;

// One step as a word: a kind ("failed:CODE", "spooled:ID", "uploaded:STATUS") or a CUPS state
// ("held:REASON"; "!" first when the queue is stopped).
JobStep Step(const std::string& word) {
    static const std::map<std::string, K> kinds = {
        {"accepted", K::Accepted}, {"failed", K::Failed}, {"spooled", K::Spooled}, {"uploaded", K::Uploaded},
        {"shown", K::Shown},       {"opened", K::Opened}, {"gaveup", K::GaveUp},   {"cancel", K::Cancelled}};
    static const std::map<std::string, C> states = {
        {"pending", C::Pending},     {"held", C::Held},       {"processing", C::Processing},
        {"cancelled", C::Cancelled}, {"aborted", C::Aborted}, {"completed", C::Completed}};
    const bool stopped = word[0] == '!';
    const auto colon = word.find(':');
    const std::string name = word.substr(stopped, colon - stopped);
    const std::string arg = colon == std::string::npos ? "" : word.substr(colon + 1);
    JobStep s(kinds.contains(name) ? kinds.at(name) : K::CupsState);
    if (s.kind == K::CupsState) s.cups = states.at(name);
    s.printerStopped = stopped;
    if (s.kind == K::CupsState) s.message = arg;
    if (s.kind == K::Failed) s.code = arg, s.message = "why";
    if (s.kind == K::Spooled) s.cupsJobId = std::stoi(arg);
    if (s.kind == K::Uploaded) s.httpStatus = std::stol(arg);
    return s;
}

// Each row: the steps, then what each gives ("-" for nothing), as EventSummary writes it.
const std::pair<const char*, const char*> kSequences[] = {
    // A print completes; queued and processing are no news, and nothing comes after the end.
    {"accepted spooled:42 pending processing completed completed", "accepted spooled:42 - - completed:42 -"},
    // A stopped queue waits once per reason, then the job is cancelled.
    {"accepted spooled:7 !pending:Paused !pending:Paused held:held cancelled",
     "accepted spooled:7 waiting:7:Paused - waiting:7:held failed:print-canceled:7"},
    {"accepted spooled:3 aborted", "accepted spooled:3 failed:print-failed:3"},
    {"accepted spooled:3 gaveup", "accepted spooled:3 failed:print-unconfirmed:3"},
    // Only a 2xx answer is an upload.
    {"accepted uploaded:200", "accepted uploaded:200"},
    {"accepted uploaded:500", "accepted failed:upload-rejected:500"},
    {"accepted uploaded:302", "accepted failed:upload-rejected:302"},
    {"accepted shown failed:x", "accepted shown -"},
    {"accepted opened", "accepted opened"},
    // A request that cannot be read is never accepted.
    {"failed:bad-request", "failed:bad-request"},
    {"accepted failed:template-not-found", "accepted failed:template-not-found"},
    // The page takes a job back: waiting in the queue (not yet accepted), downloading, or in CUPS.
    // What its run still reports then, or CUPS says of it, is no news.
    {"cancel failed:agent-busy", "cancelled -"},
    {"accepted cancel failed:template-not-found", "accepted cancelled -"},
    {"accepted spooled:5 !pending:Paused cancel cancelled",
     "accepted spooled:5 waiting:5:Paused cancelled:5 -"},
    // A job that has ended stays as it ended.
    {"accepted spooled:4 completed cancel", "accepted spooled:4 completed:4 -"},
};

TEST(JobEvents, Sequences) {
    for (const auto& [steps, events] : kSequences) {
        JobTracker tracker("j1", "R7");
        std::istringstream in(steps);
        std::string heard;
        for (std::string word; in >> word;) {
            const std::string e = testsupport::EventSummary(tracker.feed(Step(word)));
            heard += (heard.empty() ? "" : " ") + (e.empty() ? "-" : e);
        }
        EXPECT_EQ(heard, events) << steps;
        EXPECT_TRUE(tracker.finished()) << steps;
    }
}

TEST(JobEvents, ExactText) {
    JobTracker tracker("j\"1", "R7");
    EXPECT_EQ(
        tracker.feed(K::Accepted),
        std::vector<std::string>{R"({"verolux":"job","jobId":"j\"1","reportId":"R7","state":"accepted"})"});
    JobStep f = Step("failed:printer-not-found");
    f.message = "printer \"HP\" does not exist";
    EXPECT_EQ(tracker.feed(f), std::vector<std::string>{R"({"verolux":"job","jobId":"j\"1","reportId":"R7",)"
                                                        R"("state":"failed","code":"printer-not-found",)"
                                                        R"("message":"printer \"HP\" does not exist"})"});
}

TEST(JobEvents, LongMessageIsCutBetweenCharacters) {
    JobTracker tracker("j", "R");
    JobStep f = Step("failed:template-invalid");
    f.message = "x";
    for (int i = 0; i < 1000; ++i)
        f.message += "中"; // 3 bytes each: the cut falls inside one
    const std::string event = tracker.feed(f).at(0);
    EXPECT_LT(event.size(), kMaxEventMessageBytes + 200);
    EXPECT_NE(event.find("中…\"}"), std::string::npos) << event.substr(event.size() - 20);
}

TEST(Answers, ExactTexts) {
    EXPECT_EQ(
        HelloAnswer({"1.2.3", 28502, "linux"}),
        R"({"verolux":"hello","agent":"Verolux","version":"1.2.3","protocol":1,)"
        R"("features":["hello","printers","jobs","copies","duplex","pages","cancel","headers","raw","documents"],"port":28502,"platform":"linux"})");
    PrinterFacts p{"VXPDF", "PDF", "", true, "stopped", "Paused", false, true, false, {"iso_a4_210x297mm"},
                   {},      {}};
    EXPECT_EQ(
        PrintersAnswer({p}),
        R"({"verolux":"printers","printers":[{"name":"VXPDF","description":"PDF","location":"",)"
        R"("isDefault":true,"state":"stopped","stateReason":"Paused","acceptingJobs":false,"color":true,)"
        R"("duplex":false,"media":["iso_a4_210x297mm"],"papers":[],"trays":[]}]})");
    // Trays and papers with the driver's names; the custom range only where the printer has one.
    p.papers = {{"iso_a4_210x297mm", "A4", 210, 297}, {"custom_62x29mm_62x29mm", "标签", 62, 29.5}};
    p.trays = {{"tray-2", "纸盒 2"}};
    p.customMinWidthMm = 12.7, p.customMinHeightMm = 12.7, p.customMaxWidthMm = 215.9,
    p.customMaxHeightMm = 1000;
    const std::string answer = PrintersAnswer({p});
    EXPECT_NE(answer.find(R"("papers":[{"name":"iso_a4_210x297mm","text":"A4","widthMm":210,"heightMm":297},)"
                          R"({"name":"custom_62x29mm_62x29mm","text":"标签","widthMm":62,"heightMm":29.5}],)"
                          R"("trays":[{"name":"tray-2","text":"纸盒 2"}],"customPaper":{"minWidthMm":12.7,)"
                          R"("minHeightMm":12.7,"maxWidthMm":215.9,"maxHeightMm":1000}}]})"),
              std::string::npos)
        << answer;
    EXPECT_EQ(PrintersAnswer({}), R"({"verolux":"printers","printers":[]})");
    EXPECT_EQ(ErrorAnswer("unknown-question", "a\nb"),
              R"({"verolux":"error","code":"unknown-question","message":"a\nb"})");
    EXPECT_EQ(CancelRefusedAnswer("j\"1", "ended"),
              R"({"verolux":"error","code":"not-cancellable","jobId":"j\"1","message":"ended"})");
}

} // namespace
