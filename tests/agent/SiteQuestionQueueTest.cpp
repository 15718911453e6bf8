#include "agent/desktop/SiteQuestionQueue.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using verolux::SiteQuestionQueue;

namespace {

// Steps "<ms> <event> [args]": ask <site> <ticket>, tick, key, activate, allow [remember],
// refuse [remember], close, and "?" which writes what is on the screen. The trace lists the answers
// each step gave ("a yes held remembered #1 #2") and the screens asked for, separated by "; ".
std::string Trace(const std::vector<std::string>& steps) {
    SiteQuestionQueue q;
    std::vector<std::string> trace;
    for (const std::string& step : steps) {
        std::istringstream in(step);
        std::int64_t now = 0;
        std::string event, arg;
        in >> now >> event >> arg;
        SiteQuestionQueue::Answers answers;
        if (event == "ask") {
            std::uint64_t ticket = 0;
            in >> ticket;
            answers = q.Ask(arg, ticket, now);
        } else if (event == "tick") {
            answers = q.Tick(now);
        } else if (event == "key") {
            answers = q.KeyPressed(now);
        } else if (event == "activate") {
            answers = q.Activated(now);
        } else if (event == "allow" || event == "refuse") {
            answers = q.Clicked(event == "allow", arg == "remember", now);
        } else if (event == "close") {
            answers = q.Closed(now);
        } else if (event == "?") {
            q.Tick(now);
            const auto& shown = q.shown();
            trace.push_back(shown ? shown->origin + (shown->armed ? " armed" : " unarmed") + " +" +
                                        std::to_string(q.waiting())
                                  : "none");
        } else {
            ADD_FAILURE() << "unknown step " << step;
        }
        for (const auto& a : answers) {
            std::string line = a.origin + (a.allowed ? " yes" : " no");
            if (a.holds) line += " held";
            if (a.remember) line += " remembered";
            for (auto t : a.tickets)
                line += " #" + std::to_string(t);
            trace.push_back(line);
        }
    }
    std::string out;
    for (const auto& t : trace)
        out += (out.empty() ? "" : "; ") + t;
    return out;
}

struct Row {
    const char* name;
    std::vector<std::string> steps;
    const char* expected;
};

class QuestionQueue : public testing::TestWithParam<Row> {};

TEST_P(QuestionQueue, Answers) {
    EXPECT_EQ(Trace(GetParam().steps), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, QuestionQueue,
    testing::Values(
        // A click in the first second (a click meant for the window beneath) does nothing.
        Row{"clickBeforeArmed",
            {"0 ask a 1", "999 allow remember", "999 ?", "1000 ?"},
            "a unarmed +0; a armed +0"},
        Row{"allowOnceArmed", {"0 ask a 1", "1000 allow"}, "a yes held #1"},
        Row{"rememberIsTheTick", {"0 ask a 1", "1500 refuse remember"}, "a no held remembered #1"},
        // Someone typing at it keeps it unarmed until a second after the last key.
        Row{"typingDefersArming",
            {"0 ask a 1", "600 key", "1200 key", "1800 key", "2700 allow", "2800 ?", "2800 allow"},
            "a armed +0; a yes held #1"},
        Row{"keyOnceArmedChangesNothing", {"0 ask a 1", "1000 key", "1000 allow"}, "a yes held #1"},
        // Getting the focus disarms it for another second.
        Row{"activationRearms",
            {"0 ask a 1", "5000 activate", "5500 allow", "5500 ?", "6000 allow"},
            "a unarmed +0; a yes held #1"},
        // Nobody there: no, not held, so asked about again next time.
        Row{"unansweredInAMinute",
            {"0 ask a 1", "59999 ?", "60000 tick", "60000 ?"},
            "a armed +0; a no #1; none"},
        Row{"closedIsAHeldNo", {"0 ask a 1", "100 close", "100 ?"}, "a no held #1; none"},
        // Pages of one site share a question; other sites wait their turn, one question at a time.
        Row{"sameSiteSharesTheQuestion", {"0 ask a 1", "10 ask a 2", "1000 allow"}, "a yes held #1 #2"},
        Row{"oneAtATime",
            {"0 ask a 1", "10 ask b 2", "20 ask b 3", "30 ?", "1000 refuse", "1000 ?", "1500 allow",
             "2000 allow"},
            "a unarmed +1; a no held #1; b unarmed +0; b yes held #2 #3"},
        // Three sites wait behind the one shown; a fifth is refused at once and not held.
        Row{"queueFull",
            {"0 ask a 1", "1 ask b 2", "2 ask c 3", "3 ask d 4", "4 ask e 5", "5 ask d 6", "6 ?"},
            "e no #5; a unarmed +3"},
        // A waiting site is shown for a minute of its own, but waits no more than a minute to be shown.
        Row{"waitingExpires",
            {"0 ask a 1", "30000 ask b 2", "59000 allow", "59000 ?", "118999 ?", "119000 tick"},
            "a yes held #1; b unarmed +0; b armed +0; b no #2"},
        Row{"waitingTooLong",
            {"0 ask a 1", "1000 ask b 2", "61000 tick", "61000 ?"},
            "a no #1; b no #2; none"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(QuestionQueue, WakesForArmingThenForTheDeadline) {
    SiteQuestionQueue q;
    EXPECT_FALSE(q.nextWake());
    q.Ask("a", 1, 100);
    q.Ask("b", 2, 200);
    EXPECT_EQ(q.nextWake(), 1100);
    q.Tick(1100);
    EXPECT_EQ(q.nextWake(), 60100); // a's deadline comes before b's (60200)
}

} // namespace
