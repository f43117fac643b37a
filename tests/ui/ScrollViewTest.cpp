#include "core/RunLoop.h"
#include "ui/ScrollView.h"

#include "support/ManualClock.h"
#include "TouchDriver.h"

#include <gtest/gtest.h>

using namespace vq;
using vq::test::Finger;

namespace {

class ScrollViewTest : public test::ManualClockTest {
protected:
    void SetUp() override
    {
        ManualClockTest::SetUp();
        root = View::create(Rect{0, 0, 320, 480});
        scroll = ScrollView::create({0, 40, 320, 200});
        scroll->setContentSize({320, 1000});
        root->addSubview(scroll);
    }

    std::shared_ptr<View> root;
    std::shared_ptr<ScrollView> scroll;
};

TEST_F(ScrollViewTest, DraggingMovesTheContentWithTheFinger)
{
    EXPECT_TRUE(scroll->capturesDrags());
    EXPECT_TRUE(scroll->clipsToBounds());
    Finger f(root, {100, 200});
    f.dragTo({100, 80});
    EXPECT_TRUE(scroll->isDragging());
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 120);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().x, 0); // no horizontal content: x stays
    EXPECT_EQ(scroll->bounds().origin, scroll->contentOffset());
    f.dragTo({100, 150});
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 50);
    f.lift();
    EXPECT_FALSE(scroll->isDragging());
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 50);
}

TEST_F(ScrollViewTest, DraggingPastAnEdgeRubberBandsAndSpringsBack)
{
    Finger f(root, {100, 100});
    f.dragTo({100, 300});
    double pulled = scroll->contentOffset().y;
    // Past the top edge, but by less than the finger moved.
    EXPECT_LT(pulled, 0);
    EXPECT_GT(pulled, -200);
    f.lift();
    // The model is back in range at once; the drawn offset follows.
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 0);
    EXPECT_LT(scroll->presentationBounds().y(), 0);
    RunLoop::main().advance(ScrollView::kBounceDuration / 2);
    double mid = scroll->presentationBounds().y();
    EXPECT_GT(mid, pulled);
    EXPECT_LT(mid, 0);
    RunLoop::main().advance(ScrollView::kBounceDuration);
    EXPECT_DOUBLE_EQ(scroll->presentationBounds().y(), 0);

    // And at the bottom edge: max offset is 1000 - 200.
    scroll->setContentOffset({0, 780});
    Finger g(root, {100, 220});
    g.dragTo({100, 20});
    EXPECT_GT(scroll->contentOffset().y, 800);
    g.lift();
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 800);
}

TEST_F(ScrollViewTest, WithoutBouncingTheOffsetStopsAtTheEdges)
{
    scroll->setBounces(false);
    Finger f(root, {100, 100});
    f.dragTo({100, 300});
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 0);
    f.dragTo({100, -1500});
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 800);
    f.lift();
    EXPECT_FALSE(scroll->hasRunningAnimations());
}

TEST_F(ScrollViewTest, CapturesDragsOnlyWhenThereIsSomewhereToScroll)
{
    scroll->setContentSize({320, 150});
    EXPECT_FALSE(scroll->capturesDrags());
    Finger f(root, {100, 100});
    f.dragTo({100, 20});
    f.lift();
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 0);

    scroll->setAlwaysBounceVertical(true);
    EXPECT_TRUE(scroll->capturesDrags());
    scroll->setScrollEnabled(false);
    EXPECT_FALSE(scroll->capturesDrags());
}

TEST_F(ScrollViewTest, ATouchHandedOverMidwayStillTracksTheFinger)
{
    // A subview had the touch; the dispatcher hands over the drag without a begin.
    Touch t;
    t.startLocationInWindow = t.previousLocationInWindow = {100, 200};
    t.locationInWindow = {100, 185};
    t.phase = Touch::Phase::Moved;
    scroll->touchesMoved(t);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 15);
    t.previousLocationInWindow = t.locationInWindow;
    t.locationInWindow = {100, 100};
    scroll->touchesMoved(t);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 100);
    scroll->touchesEnded(t);
    EXPECT_FALSE(scroll->isDragging());
}

TEST_F(ScrollViewTest, IndicatorsShowWhileDraggingAndShortlyAfter)
{
    Finger f(root, {100, 200});
    EXPECT_FALSE(scroll->isShowingScrollIndicators());
    f.dragTo({100, 100});
    EXPECT_TRUE(scroll->isShowingScrollIndicators());
    // The indicator rides along at the right edge of what is shown.
    auto indicator = scroll->subviews().back();
    EXPECT_GT(indicator->frame().minX(), 310);
    EXPECT_GE(indicator->frame().minY(), scroll->contentOffset().y);
    EXPECT_LE(indicator->frame().maxY(), scroll->contentOffset().y + 200);
    EXPECT_EQ(root->hitTest({316, 100}), scroll); // not touchable
    f.lift();
    RunLoop::main().advance(ScrollView::kIndicatorLinger / 2);
    EXPECT_TRUE(scroll->isShowingScrollIndicators());
    RunLoop::main().advance(ScrollView::kIndicatorLinger);
    EXPECT_FALSE(scroll->isShowingScrollIndicators());
    EXPECT_TRUE(scroll->subviews().empty());

    scroll->setShowsVerticalScrollIndicator(false);
    Finger g(root, {100, 200});
    g.dragTo({100, 100});
    EXPECT_FALSE(scroll->isShowingScrollIndicators());
    g.lift();
}

TEST_F(ScrollViewTest, AFingerStopsASpringBackWhereItIs)
{
    Finger f(root, {100, 100});
    f.dragTo({100, 300});
    f.lift();
    RunLoop::main().advance(ScrollView::kBounceDuration / 2);
    double shown = scroll->presentationBounds().y();
    Finger g(root, {100, 100});
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, shown);
    EXPECT_FALSE(scroll->hasRunningAnimations());
    g.lift();
}

TEST_F(ScrollViewTest, ScrollRectToVisibleMovesAsLittleAsNeededWithinRange)
{
    scroll->scrollRectToVisible({0, 300, 10, 50}, false);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 150); // bottom edge of the rect at the bottom
    scroll->scrollRectToVisible({0, 200, 10, 50}, false);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 150); // already visible
    scroll->scrollRectToVisible({0, 100, 10, 50}, false);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 100);
    scroll->scrollRectToVisible({0, 990, 10, 50}, false);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 800);
}

TEST_F(ScrollViewTest, DelegateHearsEveryOffsetChange)
{
    struct Recorder : ScrollViewDelegate {
        std::vector<double> offsets;
        int began = 0, ended = 0;
        void scrollViewDidScroll(ScrollView& s) override { offsets.push_back(s.contentOffset().y); }
        void scrollViewWillBeginDragging(ScrollView&) override { ++began; }
        void scrollViewDidEndDragging(ScrollView&) override { ++ended; }
    };
    auto recorder = std::make_shared<Recorder>();
    scroll->setDelegate(recorder);
    scroll->setContentOffset({0, 40}, true);
    EXPECT_EQ(recorder->offsets, (std::vector<double>{40}));
    RunLoop::main().advance(1); // a finger would stop the animation where it is
    Finger f(root, {100, 200});
    f.dragTo({100, 150}, 2);
    f.lift();
    EXPECT_EQ(recorder->offsets, (std::vector<double>{40, 65, 90}));
    EXPECT_EQ(recorder->began, 1);
    EXPECT_EQ(recorder->ended, 1);

    // Not retained.
    recorder.reset();
    scroll->setContentOffset({0, 10});
    EXPECT_EQ(scroll->delegate(), nullptr);
}

} // namespace
