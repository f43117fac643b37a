#include "NetTestSupport.h"

#include <gtest/gtest.h>

using namespace vq::test;

namespace {

// A server stopped before its accept loop runs is never stopped, and its
// destructor waits for ever: each one must be listening once made.
TEST(TestServerTest, ListensOnceMadeSoDroppingItAtOnceNeverHangs)
{
    for (int i = 0; i < 50; ++i) {
        TestServer server;
        ASSERT_TRUE(server.http().is_running()) << i;
    }
}

} // namespace
