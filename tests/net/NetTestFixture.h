#pragma once

#include "NetTestSupport.h"
#include "net/RunQueue.h"
#include "platform/RunLoop.h"

#include <gtest/gtest.h>

namespace vq::test {

// A server per test, the main loop on real time, and nothing left running afterwards.
class NetTest : public testing::Test {
protected:
    void SetUp() override
    {
        RunLoop::main().useSystemClock();
        HttpRequest::setTimeOutSecondsForTesting(HttpRequest::defaultTimeOutSeconds);
    }
    void TearDown() override
    {
        server.release();
        auto& queue = RunQueue::shared();
        EXPECT_TRUE(runUntil([&] { return queue.runningCount() == 0 && queue.waitingCount() == 0; }));
        RunLoop::main().runPending();
    }

    TestServer server;
};

} // namespace vq::test
