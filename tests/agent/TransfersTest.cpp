#include "agent/desktop/Transfers.h"
#include "agent/desktop/RequestQueue.h"
#include "tests/agent/AgentTestSupport.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <optional>
#include <thread>

using agenttest::WaitFor;
using verolux::RequestQueue;
using verolux::Transfers;

namespace {

// Spins until the flag is set, at most five seconds; true when it was set.
bool Until(const std::atomic<bool>& flag) {
    for (int i = 0; i < 5000 && !flag; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return flag;
}

} // namespace

TEST(Transfers, WorkRunsBesideTheEventLoopOnAWorkerKeptForTheNext) {
    Transfers transfers;
    for (int round = 0; round < 3; ++round) {
        std::optional<bool> offUiThread, thenOnUiThread;
        std::atomic<bool> tidiedOffUiThread{false};
        transfers.Run([&](const std::atomic<bool>&) {
            offUiThread = QThread::currentThread() != qApp->thread();
            return Transfers::Outcome(
                [&] { thenOnUiThread = QThread::currentThread() == qApp->thread(); },
                [&] { tidiedOffUiThread = QThread::currentThread() != qApp->thread(); });
        });
        ASSERT_TRUE(WaitFor([&] { return thenOnUiThread.has_value(); }));
        EXPECT_TRUE(Until(tidiedOffUiThread));
        EXPECT_TRUE(*offUiThread);
        EXPECT_TRUE(*thenOnUiThread);
        EXPECT_EQ(0u, transfers.running());
    }
    EXPECT_EQ(1u, transfers.workers());
}

TEST(Transfers, NoTransferWaitsForAnotherAndAbortReachesTheOneAsked) {
    Transfers transfers;
    std::atomic<bool> secondRan{false};
    std::optional<bool> firstSawSecond, firstAborted;
    const int first = transfers.Run([&](const std::atomic<bool>& abort) {
        const bool saw = Until(secondRan);
        const bool aborted = Until(abort);
        return Transfers::Then([&, saw, aborted] { firstSawSecond = saw, firstAborted = aborted; });
    });
    transfers.Run([&](const std::atomic<bool>& abort) {
        secondRan = !abort;
        return Transfers::Then();
    });
    ASSERT_TRUE(WaitFor([&] { return transfers.running() == 1; }));
    transfers.Abort(first);
    ASSERT_TRUE(WaitFor([&] { return firstAborted.has_value(); }));
    EXPECT_TRUE(*firstSawSecond);
    EXPECT_TRUE(*firstAborted);
    EXPECT_EQ(2u, transfers.workers());
}

TEST(Transfers, EndingAbortsAndWaitsForWhatRunsDropsItsResultAndDoesTheChores) {
    std::atomic<bool> started{false}, ended{false}, tidied{false};
    bool delivered = false;
    {
        Transfers transfers;
        transfers.Run([&](const std::atomic<bool>& abort) {
            started = true;
            ended = Until(abort);
            return Transfers::Then([&] { delivered = true; });
        });
        ASSERT_TRUE(Until(started));
        transfers.Tidy([&] { tidied = true; });
    }
    EXPECT_TRUE(ended);
    EXPECT_TRUE(tidied);
    QCoreApplication::processEvents();
    EXPECT_FALSE(delivered);
}

TEST(RequestQueue, NextStartsAtOnceAfterALaterFinishAndFromTheEventLoopAfterAnImmediateOne) {
    RequestQueue queue;
    RequestQueue::Finished finishFirst;
    int started = 0, depth = 0, deepest = 0;
    queue.Push([&](RequestQueue::Finished finished) { finishFirst = std::move(finished); }, 0);
    // Thousands that finish inside their work: each starts from the event loop, none inside another.
    for (int i = 0; i < 3000; ++i)
        queue.Push(
            [&](const RequestQueue::Finished& finished) {
                ++started, deepest = std::max(deepest, ++depth);
                finished();
                --depth;
            },
            0);
    finishFirst(); // as a transfer's result does, from the event loop
    EXPECT_EQ(1, started);
    ASSERT_TRUE(WaitFor([&] { return started == 3000; }));
    EXPECT_EQ(1, deepest);
    EXPECT_FALSE(queue.busy());
}
