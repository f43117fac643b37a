#include "core/RunLoop.h"
#include "support/Harness.h"
#include "support/ManualClock.h"
#include "ui/ActivityIndicator.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

#include <gtest/gtest.h>

#include <set>

using namespace vq;

namespace {

class ActivityIndicatorTest : public test::ManualClockTest {
protected:
};

TEST_F(ActivityIndicatorTest, HiddenUntilStartedAndAgainWhenStopped)
{
    auto spinner = ActivityIndicator::create(ActivityIndicatorStyle::WhiteLarge);
    EXPECT_EQ(spinner->frame().size, (Size{37, 37}));
    EXPECT_TRUE(spinner->isHidden());
    spinner->startAnimating();
    EXPECT_TRUE(spinner->isAnimating());
    EXPECT_FALSE(spinner->isHidden());
    spinner->stopAnimating();
    EXPECT_FALSE(spinner->isAnimating());
    EXPECT_TRUE(spinner->isHidden());

    spinner->setHidesWhenStopped(false);
    EXPECT_FALSE(spinner->isHidden());
    spinner->startAnimating();
    spinner->stopAnimating();
    EXPECT_FALSE(spinner->isHidden());
}

TEST_F(ActivityIndicatorTest, SpokesTurnWithTheRunLoopClockOnlyWhileAnimating)
{
    auto spinner = ActivityIndicator::create(ActivityIndicatorStyle::Gray);
    EXPECT_EQ(spinner->frame().size, (Size{20, 20}));
    spinner->startAnimating();
    std::set<int> seen;
    auto generation = View::displayGeneration();
    for (int i = 0; i < ActivityIndicator::kSpokes; ++i) {
        seen.insert(spinner->leadingSpoke());
        RunLoop::main().advance(ActivityIndicator::kRevolution / ActivityIndicator::kSpokes);
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(ActivityIndicator::kSpokes));
    EXPECT_GE(View::displayGeneration() - generation, static_cast<std::uint64_t>(ActivityIndicator::kSpokes));

    spinner->stopAnimating();
    EXPECT_EQ(RunLoop::main().pendingTimerCount(), 0u);
    generation = View::displayGeneration();
    RunLoop::main().advance(1);
    EXPECT_EQ(View::displayGeneration(), generation);
}

TEST_F(ActivityIndicatorTest, ADroppedIndicatorStopsItsTimer)
{
    auto spinner = ActivityIndicator::create();
    spinner->startAnimating();
    EXPECT_EQ(RunLoop::main().pendingTimerCount(), 1u);
    spinner.reset();
    EXPECT_EQ(RunLoop::main().pendingTimerCount(), 0u);
}

} // namespace

namespace {

// The large white spinner at its natural size in the middle of a stretched
// frame on black: white on its top spoke, black well beyond its radius.
TEST(ActivityIndicatorDrawing, ALargeSpinnerKeepsItsNaturalSizeCentredInAnyBounds)
{
    for (Rect frame : {Rect{10, 40, 300, 300}, Rect{10, 40, 300, 60}, Rect{100, 100, 37, 37}}) {
        test::Harness harness;
        auto window = harness.makeWindow();
        auto root = window->rootViewController()->view();
        root->setBackgroundColor(Color::blackColor());
        auto spinner = ActivityIndicator::create(ActivityIndicatorStyle::WhiteLarge);
        spinner->setFrame(frame);
        root->addSubview(spinner);
        spinner->startAnimating(); // the clock at 0: the top spoke leads, fully white
        Point c = frame.center();
        auto image = harness.render();
        EXPECT_TRUE(test::nearColor(test::Harness::pixel(*image, c.x, c.y - 13), Color::whiteColor(), 0.1f))
            << frame.width() << "x" << frame.height();
        EXPECT_EQ(test::Harness::pixel(*image, c.x, c.y - 25), Color::blackColor())
            << frame.width() << "x" << frame.height();
        EXPECT_EQ(test::Harness::pixel(*image, c.x, c.y), Color::blackColor()); // the hollow middle
    }
}

} // namespace
