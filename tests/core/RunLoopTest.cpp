#include "core/RunLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace vq;

namespace {

class RunLoopTest : public testing::Test {
protected:
    void SetUp() override
    {
        loop().reset();
        loop().useManualClock();
    }
    void TearDown() override
    {
        loop().reset();
        loop().useSystemClock();
    }
    static RunLoop& loop() { return RunLoop::main(); }
};

TEST_F(RunLoopTest, ManualClockFiresInDeadlineOrderWithTiesInSchedulingOrder)
{
    std::vector<std::string> fired;
    loop().performAfter(0.5, [&] { fired.push_back("b@0.5"); });
    loop().performAfter(0.2, [&] { fired.push_back("a@0.2"); });
    loop().performAfter(0.5, [&] { fired.push_back("c@0.5"); });
    auto cancelled = loop().performAfter(0.3, [&] { fired.push_back("cancelled"); });
    cancelled->invalidate();

    loop().advance(0.4);
    EXPECT_EQ(fired, (std::vector<std::string>{"a@0.2"}));
    EXPECT_DOUBLE_EQ(loop().now(), 0.4);
    loop().advance(0.1);
    EXPECT_EQ(fired, (std::vector<std::string>{"a@0.2", "b@0.5", "c@0.5"}));
}

TEST_F(RunLoopTest, RepeatingTimerFiresEveryIntervalUntilInvalidated)
{
    std::vector<double> times;
    auto timer = Timer::scheduledTimer(5.0, true, [&](Timer& t) {
        times.push_back(loop().now());
        if (times.size() == 3)
            t.invalidate();
    });
    loop().advance(12);
    EXPECT_EQ(times, (std::vector<double>{5, 10}));
    EXPECT_TRUE(timer->isValid());
    loop().advance(100);
    EXPECT_EQ(times.size(), 3u);
    EXPECT_FALSE(timer->isValid());
    EXPECT_EQ(loop().pendingTimerCount(), 0u);
}

TEST_F(RunLoopTest, RepeatingTimerFarOutOnTheTimeLineStillMovesOn)
{
    // Out there a step of 0.5 s vanishes in rounding; the timer once fired
    // at the same instant forever.
    loop().useManualClock(1e17);
    int fired = 0;
    auto timer = Timer::scheduledTimer(0.5, true, [&](Timer&) { ++fired; });
    loop().advance(64);
    EXPECT_GE(fired, 1);
    EXPECT_LE(fired, 8);
    EXPECT_GT(*loop().nextDeadline(), loop().now());
    timer->invalidate();
}

TEST_F(RunLoopTest, TimerScheduledFromACallbackRunsWithinTheSameAdvance)
{
    std::vector<double> times;
    loop().performAfter(1, [&] {
        times.push_back(loop().now());
        loop().performAfter(1, [&] { times.push_back(loop().now()); });
    });
    loop().advance(3);
    EXPECT_EQ(times, (std::vector<double>{1, 2}));
}

TEST_F(RunLoopTest, PostsFromOtherThreadsRunOnTheMainThreadInOrder)
{
    std::vector<int> order;
    std::atomic<int> wakes{0};
    loop().setWakeHandler([&] { ++wakes; });
    std::thread worker([&] {
        for (int i = 0; i < 100; ++i)
            loop().post([&order, i] { order.push_back(i); });
    });
    EXPECT_TRUE(loop().runUntil([&] { return order.size() == 100; }, 5));
    worker.join();
    loop().setWakeHandler(nullptr);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(order[static_cast<std::size_t>(i)], i);
    EXPECT_EQ(wakes.load(), 100);
}

TEST_F(RunLoopTest, RunUntilGivesUpAfterItsTimeout)
{
    EXPECT_FALSE(loop().runUntil([] { return false; }, 0.05));
}

} // namespace
