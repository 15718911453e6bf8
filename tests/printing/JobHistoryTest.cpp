// The print history: the last 200 jobs, their states, and the file's text.
#include "agent/printing/JobHistory.h"

#include <gtest/gtest.h>

using namespace verolux;

namespace {

HistoryEntry Entry(std::string what) {
    return {0, "2026-12-07 21:52:03", "https://erp.example.com", "report", std::move(what), "HP", "accepted"};
}

TEST(JobHistory, KeepsTheLastJobsOnly) {
    JobHistory h;
    for (int i = 0; i < 205; ++i)
        h.Add(Entry("t" + std::to_string(i) + ".grf"));
    ASSERT_EQ(h.entries().size(), kHistoryEntries);
    EXPECT_EQ(h.entries().front().what, "t5.grf");
    EXPECT_EQ(h.entries().back().id, 205u);
    EXPECT_EQ(h.Find(5), nullptr);
    EXPECT_FALSE(h.SetState(5, "completed"));
    EXPECT_TRUE(h.SetState(205, "completed"));
    EXPECT_EQ(h.Find(205)->state, "completed");
}

TEST(JobHistory, FileTextReadsBackAsWritten) {
    JobHistory h;
    h.Add(Entry("订单 \"A\".grf"));
    h.Add({0, "t", "", "raw", "12 bytes", "ZEBRA", "failed"});
    h.Add(Entry(std::string(600, 'x') + "尾"));
    const JobHistory back = JobHistory::FromText(h.ToText() + "not json\n{\"time\":\n");
    ASSERT_EQ(back.entries().size(), 3u);
    EXPECT_EQ(back.entries()[0].what, "订单 \"A\".grf");
    EXPECT_EQ(back.entries()[1], (HistoryEntry{2, "t", "", "raw", "12 bytes", "ZEBRA", "failed"}));
    EXPECT_EQ(back.entries()[2].what, std::string(kMaxHistoryField, 'x')); // cut, never inside a character
}

} // namespace
