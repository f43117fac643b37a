#include "core/EventHub.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vq {

namespace {

struct Ping {
    int n;
};
struct Other {
    std::string text;
};

class EventHubTest : public testing::Test {
protected:
    void SetUp() override { hub().reset(); }
    void TearDown() override { hub().reset(); }
    static EventHub& hub() { return EventHub::shared(); }
};

} // namespace

TEST_F(EventHubTest, EverySubscriberOfATypeHearsInOrderAndNoOneElse)
{
    std::vector<std::string> heard;
    auto first = hub().subscribe<Ping>([&](const Ping& p) { heard.push_back("first " + std::to_string(p.n)); });
    auto second = hub().subscribe<Ping>([&](const Ping& p) { heard.push_back("second " + std::to_string(p.n)); });
    auto other = hub().subscribe<Other>([&](const Other& o) { heard.push_back("other " + o.text); });

    hub().publish(Ping{1});
    hub().publish(Other{"x"});
    EXPECT_EQ(heard, (std::vector<std::string>{"first 1", "second 1", "other x"}));
    EXPECT_EQ(hub().subscriberCount<Ping>(), 2u);
    EXPECT_EQ(hub().subscriberCount<Other>(), 1u);
}

TEST_F(EventHubTest, ADroppedResetOrMovedFromSubscriptionHearsNothing)
{
    std::vector<std::string> heard;
    auto keep = hub().subscribe<Ping>([&](const Ping&) { heard.push_back("keep"); });
    auto reset = hub().subscribe<Ping>([&](const Ping&) { heard.push_back("reset"); });
    {
        auto scoped = hub().subscribe<Ping>([&](const Ping&) { heard.push_back("scoped"); });
    }
    auto moved = hub().subscribe<Ping>([&](const Ping&) { heard.push_back("moved"); });
    Subscription target = std::move(moved);
    auto replaced = hub().subscribe<Ping>([&](const Ping&) { heard.push_back("replaced"); });
    replaced = hub().subscribe<Ping>([&](const Ping&) { heard.push_back("replacement"); });
    reset.reset();
    EXPECT_FALSE(reset);
    EXPECT_FALSE(moved);

    hub().publish(Ping{0});
    EXPECT_EQ(heard, (std::vector<std::string>{"keep", "moved", "replacement"}));
    EXPECT_EQ(hub().subscriberCount<Ping>(), 3u);

    // Clearing the hub leaves handles that unsubscribe nothing.
    hub().reset();
    auto fresh = hub().subscribe<Ping>([&](const Ping&) { heard.push_back("fresh"); });
    keep.reset();
    target.reset();
    heard.clear();
    hub().publish(Ping{0});
    EXPECT_EQ(heard, (std::vector<std::string>{"fresh"}));
}

TEST_F(EventHubTest, SubscribersMayLeaveOrJoinWhileAnEventIsDelivered)
{
    std::vector<std::string> heard;
    std::optional<Subscription> self;
    Subscription later;
    Subscription joined;

    // The first leaves itself and drops the one after it; it also adds a
    // newcomer, which hears only the next event.
    self = hub().subscribe<Ping>([&](const Ping& p) {
        heard.push_back("self " + std::to_string(p.n));
        self.reset();
        later.reset();
        joined = hub().subscribe<Ping>([&](const Ping& q) { heard.push_back("joined " + std::to_string(q.n)); });
    });
    later = hub().subscribe<Ping>([&](const Ping&) { heard.push_back("later"); });
    auto last = hub().subscribe<Ping>([&](const Ping& p) { heard.push_back("last " + std::to_string(p.n)); });

    hub().publish(Ping{1});
    EXPECT_EQ(heard, (std::vector<std::string>{"self 1", "last 1"}));
    heard.clear();
    hub().publish(Ping{2});
    EXPECT_EQ(heard, (std::vector<std::string>{"last 2", "joined 2"}));
}

TEST_F(EventHubTest, ASubscriberMayPublishAndTheNestedEventIsDeliveredFirst)
{
    std::vector<std::string> heard;
    auto relay = hub().subscribe<Ping>([&](const Ping& p) {
        heard.push_back("ping " + std::to_string(p.n));
        if (p.n == 1)
            hub().publish(Other{"from ping"});
    });
    auto listener = hub().subscribe<Other>([&](const Other& o) { heard.push_back(o.text); });
    hub().publish(Ping{1});
    EXPECT_EQ(heard, (std::vector<std::string>{"ping 1", "from ping"}));
}

} // namespace vq
