// The `verolux` extension's decisions: what a message is, and which events a page hears, in order.
#include "tests/printing/EventSummary.h"

#include "agent/printing/AgentAnswers.h"
#include "agent/printing/JobTracker.h"
#include "agent/printing/PageMessage.h"

#include <gtest/gtest.h>

#include <string>
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
    {"copiesAbove999", R"({"verolux":{"copies":1000}})", Kind::BadJob, "from 1 to 999"},
    {"copiesFraction", R"({"verolux":{"copies":1.5}})", Kind::BadJob, "copies must be"},
    {"duplexUnknown", R"({"verolux":{"duplex":"both"}})", Kind::BadJob, "duplex must be"},
    {"pagesBackwards", R"({"verolux":{"pages":"5-3"}})", Kind::BadJob, "pages must"},
    {"unknownOption", R"({"verolux":{"colour":true}})", Kind::BadJob, "unknown option \"colour\""},
    {"jobIdObject", R"({"verolux":{"jobId":{}}})", Kind::BadJob, "jobId must be"},
};

class Message : public ::testing::TestWithParam<MessageCase> {};

TEST_P(Message, Kind) {
    const PageMessage m = ReadPageMessage(GetParam().text);
    EXPECT_EQ(m.kind, GetParam().kind);
    if (m.kind == Kind::Job) {
        EXPECT_EQ(m.jobId, GetParam().detail);
    } else if (std::string(GetParam().name) == "copiesZero") {
        EXPECT_EQ(m.jobId, "j"); // a refused job is still named
    }
    if (m.kind == Kind::BadJob || m.kind == Kind::Unknown) {
        EXPECT_NE(m.error.find(GetParam().detail), std::string::npos) << m.error;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Message, ::testing::ValuesIn(kMessages),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(PageMessage, OptionsAndReportIdReachTheJob) {
    const PageMessage m = ReadPageMessage(
        R"({"verolux":{"jobId":"j1","copies":2,"duplex":"short","pages":"2-"},)" + kRequest + "}");
    EXPECT_EQ(m.options, (JobOptions{2, Duplex::Short, "2-"}));
    EXPECT_EQ(m.reportId, "R7");
    EXPECT_EQ(ReadPageMessage(R"({"verolux":{}})").options, JobOptions{}); // printer's own duplex
}

TEST(PageMessage, PageRanges) {
    for (const char* good : {"1", "1-3", "1-3,5", "2-", "1,1", "10-10"})
        EXPECT_TRUE(ValidPageRanges(good)) << good;
    for (const char* bad : {"", ",", "1,", "-3", "a", "1-2-3", "3-1", "0-2", "1 - 2", "1;2", "9999999"})
        EXPECT_FALSE(ValidPageRanges(bad)) << bad;
}

// A step table: one input per line, the events it gives ("" for none) as state[:detail].
struct Step {
    JobStep step;
    std::string events;
};

JobStep S(JobStep::Kind k) {
    return JobStep{k};
}
JobStep Failed(const char* code) {
    JobStep s{JobStep::Kind::Failed};
    s.code = code;
    s.message = "why";
    return s;
}
JobStep Spooled(int id) {
    JobStep s{JobStep::Kind::Spooled};
    s.cupsJobId = id;
    return s;
}
JobStep Cups(JobStep::Cups state, bool stopped = false, const char* reason = "") {
    JobStep s{JobStep::Kind::CupsState};
    s.cups = state;
    s.printerStopped = stopped;
    s.message = reason;
    return s;
}
JobStep Uploaded(long status) {
    JobStep s{JobStep::Kind::Uploaded};
    s.httpStatus = status;
    return s;
}

void RunSteps(const std::vector<Step>& steps) {
    JobTracker tracker("j1", "R7");
    for (std::size_t i = 0; i < steps.size(); ++i)
        EXPECT_EQ(testsupport::EventSummary(tracker.feed(steps[i].step)), steps[i].events) << "step " << i;
    EXPECT_TRUE(tracker.finished());
}

using K = JobStep::Kind;
using C = JobStep::Cups;

TEST(JobEvents, Sequences) {
    // A print completes; queued and processing are no news, and nothing comes after the end.
    RunSteps({{S(K::Accepted), "accepted"},
              {Spooled(42), "spooled:42"},
              {Cups(C::Pending), ""},
              {Cups(C::Processing), ""},
              {Cups(C::Completed), "completed:42"},
              {Cups(C::Completed), ""}});
    // A stopped queue waits once per reason, then the job is cancelled.
    RunSteps({{S(K::Accepted), "accepted"},
              {Spooled(7), "spooled:7"},
              {Cups(C::Pending, true, "Paused"), "waiting:Paused:7"},
              {Cups(C::Pending, true, "Paused"), ""},
              {Cups(C::Held, false, "job held"), "waiting:job held:7"},
              {Cups(C::Cancelled), "failed:print-canceled:7"}});
    RunSteps({{S(K::Accepted), "accepted"},
              {Spooled(3), "spooled:3"},
              {Cups(C::Aborted), "failed:print-failed:3"}});
    RunSteps({{S(K::Accepted), "accepted"},
              {Spooled(3), "spooled:3"},
              {S(K::GaveUp), "failed:print-unconfirmed:3"}});
    // Only a 2xx answer is an upload.
    RunSteps({{S(K::Accepted), "accepted"}, {Uploaded(200), "uploaded:200"}});
    RunSteps({{S(K::Accepted), "accepted"}, {Uploaded(500), "failed:upload-rejected:500"}});
    RunSteps({{S(K::Accepted), "accepted"}, {Uploaded(302), "failed:upload-rejected:302"}});
    RunSteps({{S(K::Accepted), "accepted"}, {S(K::Shown), "shown"}, {Failed("x"), ""}});
    RunSteps({{S(K::Accepted), "accepted"}, {S(K::Opened), "opened"}});
    // A request that cannot be read is never accepted.
    RunSteps({{Failed(failure::kBadRequest), "failed:bad-request"}});
    RunSteps(
        {{S(K::Accepted), "accepted"}, {Failed(failure::kTemplateNotFound), "failed:template-not-found"}});
}

TEST(JobEvents, ExactText) {
    JobTracker tracker("j\"1", "R7");
    EXPECT_EQ(
        tracker.feed(S(K::Accepted)),
        std::vector<std::string>{R"({"verolux":"job","jobId":"j\"1","reportId":"R7","state":"accepted"})"});
    JobStep f = Failed(failure::kPrinterNotFound);
    f.message = "printer \"HP\" does not exist";
    EXPECT_EQ(tracker.feed(f), std::vector<std::string>{R"({"verolux":"job","jobId":"j\"1","reportId":"R7",)"
                                                        R"("state":"failed","code":"printer-not-found",)"
                                                        R"("message":"printer \"HP\" does not exist"})"});
}

TEST(JobEvents, LongMessageIsCutBetweenCharacters) {
    JobTracker tracker("j", "R");
    JobStep f = Failed(failure::kTemplateInvalid);
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
        R"("features":["hello","printers","jobs","copies","duplex","pages"],"port":28502,"platform":"linux"})");
    PrinterFacts p{"VXPDF", "PDF", "", true, "stopped", "Paused", false, true, false, {"iso_a4_210x297mm"}};
    EXPECT_EQ(
        PrintersAnswer({p}),
        R"({"verolux":"printers","printers":[{"name":"VXPDF","description":"PDF","location":"",)"
        R"("isDefault":true,"state":"stopped","stateReason":"Paused","acceptingJobs":false,"color":true,)"
        R"("duplex":false,"media":["iso_a4_210x297mm"]}]})");
    EXPECT_EQ(PrintersAnswer({}), R"({"verolux":"printers","printers":[]})");
    EXPECT_EQ(ErrorAnswer("unknown-question", "a\nb"),
              R"({"verolux":"error","code":"unknown-question","message":"a\nb"})");
}

} // namespace
