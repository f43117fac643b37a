#include "ui/Control.h"

#include "TouchDriver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vq;
using vq::test::Finger;

namespace {

class ControlTest : public testing::Test {
protected:
    void SetUp() override
    {
        root = View::create(Rect{0, 0, 320, 480});
        control = Control::create(Rect{100, 100, 80, 40});
        root->addSubview(control);
        for (auto event : {ControlEvent::TouchDown, ControlEvent::TouchUpInside, ControlEvent::TouchUpOutside,
                           ControlEvent::TouchCancel})
            control->addAction(event, [this, event] { events.push_back(name(event)); });
    }

    static std::string name(ControlEvent e)
    {
        switch (e) {
        case ControlEvent::TouchDown: return "down";
        case ControlEvent::TouchUpInside: return "up-inside";
        case ControlEvent::TouchUpOutside: return "up-outside";
        case ControlEvent::TouchCancel: return "cancel";
        case ControlEvent::ValueChanged: return "value";
        }
        return "?";
    }

    std::shared_ptr<View> root;
    std::shared_ptr<Control> control;
    std::vector<std::string> events;
};

TEST_F(ControlTest, TouchUpInsideOnlyWhenTheTouchEndsInside)
{
    Finger(root, {120, 110}).liftAt({170, 130});
    EXPECT_EQ(events, (std::vector<std::string>{"down", "up-inside"}));

    events.clear();
    Finger(root, {120, 110}).dragTo({300, 300}).lift();
    EXPECT_EQ(events, (std::vector<std::string>{"down", "up-outside"}));

    // Leaving and coming back still counts as inside.
    events.clear();
    Finger(root, {120, 110}).dragTo({300, 300}).dragTo({150, 120}).lift();
    EXPECT_EQ(events, (std::vector<std::string>{"down", "up-inside"}));
}

TEST_F(ControlTest, SlopAroundTheBoundsCountsAsInside)
{
    // Bounds end at x 180 in the root; 8 points out is within the slop, 12 is not.
    Finger(root, {170, 120}).liftAt({188, 120});
    Finger(root, {170, 120}).liftAt({192, 120});
    Finger(root, {170, 120}).liftAt({170, 92});
    EXPECT_EQ(events, (std::vector<std::string>{"down", "up-inside", "down", "up-outside", "down", "up-inside"}));
}

TEST_F(ControlTest, HighlightFollowsTheFinger)
{
    Finger f(root, {120, 110});
    EXPECT_TRUE(control->isHighlighted());
    EXPECT_TRUE(control->isTracking());
    EXPECT_EQ(control->state(), ControlState::Highlighted);
    f.moveTo({250, 300});
    EXPECT_FALSE(control->isHighlighted());
    f.moveTo({130, 115});
    EXPECT_TRUE(control->isHighlighted());
    f.cancel();
    EXPECT_FALSE(control->isHighlighted());
    EXPECT_FALSE(control->isTracking());
    EXPECT_EQ(events, (std::vector<std::string>{"down", "cancel"}));
}

TEST_F(ControlTest, DisabledControlIsSkippedByHitTestingAndIgnoresTouches)
{
    EXPECT_EQ(root->hitTest({120, 110}), control);
    control->setEnabled(false);
    EXPECT_EQ(root->hitTest({120, 110}), root);
    EXPECT_EQ(control->state(), ControlState::Disabled);

    // Even when a touch reaches it directly nothing fires.
    Touch t;
    t.locationInWindow = t.startLocationInWindow = {120, 110};
    control->touchesBegan(t);
    control->touchesEnded(t);
    EXPECT_TRUE(events.empty());

    // Disabling in the middle of a touch drops the touch.
    control->setEnabled(true);
    Finger f(root, {120, 110});
    control->setEnabled(false);
    f.lift();
    EXPECT_EQ(events, (std::vector<std::string>{"down"}));
    EXPECT_FALSE(control->isHighlighted());
}

TEST_F(ControlTest, ActionsRunInOrderAndMayRemoveTheControl)
{
    std::vector<int> order;
    auto fresh = Control::create(Rect{0, 0, 50, 50});
    root->addSubview(fresh);
    std::weak_ptr<Control> weak = fresh;
    fresh->addAction(ControlEvent::TouchUpInside, [&order, weak] {
        order.push_back(1);
        if (auto c = weak.lock())
            c->removeFromSuperview();
    });
    fresh->addAction(ControlEvent::TouchUpInside, [&order] { order.push_back(2); });
    fresh.reset();
    // The root owned the control; the first action drops it, the second still runs.
    test::tap(root, {10, 10});
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_TRUE(weak.expired());
}

} // namespace
