#include "core/NotificationCenter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace vq;

namespace {

class NotificationCenterTest : public testing::Test {
protected:
    void TearDown() override { center().reset(); }
    static NotificationCenter& center() { return NotificationCenter::defaultCenter(); }
};

TEST_F(NotificationCenterTest, DeliversByNameInObserverOrderWithUserInfo)
{
    std::vector<std::string> seen;
    int owner = 0;
    center().addObserver("a", &owner, [&](const Notification& n) {
        seen.push_back("first:" + n.name);
        EXPECT_EQ(n.rect("frame"), Rect(0, 264, 320, 216));
        EXPECT_EQ(n.number("duration"), 0.25);
        EXPECT_FALSE(n.rect("duration")); // present, but not a rect
        EXPECT_FALSE(n.string("missing"));
    });
    center().addObserver("b", &owner, [&](const Notification& n) { seen.push_back("b:" + n.name); });
    center().addObserver("", &owner, [&](const Notification& n) { seen.push_back("all:" + n.name); });

    center().post("a", nullptr, {{"frame", Rect(0, 264, 320, 216)}, {"duration", 0.25}});
    EXPECT_EQ(seen, (std::vector<std::string>{"first:a", "all:a"}));
}

TEST_F(NotificationCenterTest, RemovingByTokenAndByOwner)
{
    int a = 0, b = 0;
    int calls = 0;
    auto token = center().addObserver("n", &a, [&](const Notification&) { calls += 1; });
    center().addObserver("n", &a, [&](const Notification&) { calls += 10; });
    center().addObserver("other", &a, [&](const Notification&) { calls += 1000; });
    center().addObserver("n", &b, [&](const Notification&) { calls += 100; });

    center().removeObserver(token);
    center().post("n");
    EXPECT_EQ(calls, 110);

    center().removeObserver(&a, "n");
    center().post("n");
    center().post("other");
    EXPECT_EQ(calls, 110 + 100 + 1000);

    center().removeObserver(&a);
    center().removeObserver(&b);
    EXPECT_EQ(center().observerCount(), 0u);
}

TEST_F(NotificationCenterTest, WeakOwnersStopReceivingOnceGone)
{
    int calls = 0;
    auto owner = std::make_shared<int>(1);
    center().addObserver("n", std::weak_ptr<const void>(owner), [&](const Notification&) { ++calls; });
    center().post("n");
    owner.reset();
    center().post("n");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(center().observerCount(), 0u);
}

TEST_F(NotificationCenterTest, ObserversMayChangeTheListWhileBeingTold)
{
    std::vector<std::string> seen;
    int owner = 0;
    NotificationCenter::Token second = 0;
    center().addObserver("n", &owner, [&](const Notification&) {
        seen.push_back("first");
        center().removeObserver(second);
        center().addObserver("n", &owner, [&](const Notification&) { seen.push_back("added"); });
    });
    second = center().addObserver("n", &owner, [&](const Notification&) { seen.push_back("second"); });

    center().post("n");
    EXPECT_EQ(seen, (std::vector<std::string>{"first"}));
}

} // namespace
