#include "core/RunLoop.h"
#include "graphics/Image.h"
#include "support/ManualClock.h"
#include "ui/ProgressView.h"
#include "ui/Renderer.h"

#include <gtest/gtest.h>

#include <limits>

using namespace vq;

namespace {

class ProgressViewTest : public test::ManualClockTest {
protected:
    std::shared_ptr<ProgressView> bar = ProgressView::create(ProgressViewStyle::Bar, {0, 0, 200, 10});
};

TEST_F(ProgressViewTest, ProgressIsClampedAndFillsThatShareOfTheWidth)
{
    bar->setProgress(0.25f);
    EXPECT_EQ(bar->filledRect(), (Rect{0, 0, 50, 10}));
    bar->setProgress(1.7f);
    EXPECT_EQ(bar->progress(), 1.0f);
    EXPECT_EQ(bar->filledRect().width(), 200);
    bar->setProgress(-0.5f);
    EXPECT_EQ(bar->progress(), 0.0f);
    EXPECT_TRUE(bar->filledRect().isEmpty());
    bar->setProgress(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(bar->progress(), 0.0f);
}

TEST_F(ProgressViewTest, AnimatedProgressMovesTheBarOverTime)
{
    bar->setProgress(0.2f);
    bar->setProgress(0.6f, true);
    EXPECT_FLOAT_EQ(bar->progress(), 0.6f); // the model at once
    EXPECT_FLOAT_EQ(bar->presentationProgress(), 0.2f);
    auto generation = View::displayGeneration();
    RunLoop::main().advance(ProgressView::kAnimationDuration / 2);
    EXPECT_GT(bar->presentationProgress(), 0.2f);
    EXPECT_LT(bar->presentationProgress(), 0.6f);
    EXPECT_GT(View::displayGeneration(), generation); // redrawn while moving
    RunLoop::main().advance(ProgressView::kAnimationDuration);
    EXPECT_FLOAT_EQ(bar->presentationProgress(), 0.6f);
    EXPECT_EQ(RunLoop::main().pendingTimerCount(), 0u); // and then left alone

    // A new value mid-animation starts from what is on screen.
    bar->setProgress(0.0f, true);
    RunLoop::main().advance(ProgressView::kAnimationDuration / 2);
    float shown = bar->presentationProgress();
    bar->setProgress(1.0f, true);
    EXPECT_FLOAT_EQ(bar->presentationProgress(), shown);
}


TEST_F(ProgressViewTest, DrawsTheFilledShareOverTheTrack)
{
    auto plain = ProgressView::create(ProgressViewStyle::Default, {0, 0, 200, 10});
    plain->setProgressTintColor(Color::redColor());
    plain->setTrackTintColor(Color::blueColor());
    plain->setProgress(0.25f);
    auto picture = renderView(*plain, {200, 10}, 1);
    EXPECT_EQ(picture->pixelAt(10, 5), Color::redColor());
    EXPECT_EQ(picture->pixelAt(48, 5), Color::redColor());
    EXPECT_EQ(picture->pixelAt(52, 5), Color::blueColor());
    EXPECT_EQ(picture->pixelAt(190, 5), Color::blueColor());
}

} // namespace
