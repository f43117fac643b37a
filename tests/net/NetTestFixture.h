#pragma once

#include "NetTestSupport.h"
#include "net/RunQueue.h"

#include <gtest/gtest.h>

namespace vq::test {

// A server per test, the test loop as every request's default executor, the
// User-Agent of an app named "Velvet Quill", and nothing left running afterwards.
class NetTest : public testing::Test {
protected:
    void SetUp() override
    {
        HttpRequest::setDefaultExecutor(TestLoop::shared().executor());
        HttpRequest::setUserAgentFacts(facts);
        HttpRequest::setTimeOutSecondsForTesting(HttpRequest::defaultTimeOutSeconds);
    }
    void TearDown() override
    {
        server.release();
        auto& queue = RunQueue::shared();
        EXPECT_TRUE(runUntil([&] { return queue.runningCount() == 0 && queue.waitingCount() == 0; }));
        TestLoop::shared().runPending();
    }

    static inline const UserAgentFacts facts{"Velvet Quill", "VelvetQuill", "1.2", "34",
                                             "iPad", "iPhone OS", "6.1", "fr_FR"};
    TestServer server;
};

} // namespace vq::test
