#include "ui/TapGestureRecognizer.h"

#include <gtest/gtest.h>

using namespace vq;

namespace {

class TapGestureRecognizerTest : public testing::Test {
protected:
    // Feeds one touch to the recognizer, from a to b, as the dispatcher would.
    bool tapOnce(Point a, Point b, double begin = 0, double end = 0.1)
    {
        Touch t;
        t.locationInWindow = t.previousLocationInWindow = t.startLocationInWindow = a;
        t.timestamp = begin;
        recognizer->touchesBegan(t);
        t.phase = Touch::Phase::Moved;
        t.locationInWindow = b;
        recognizer->touchesMoved(t);
        t.phase = Touch::Phase::Ended;
        t.timestamp = end;
        recognizer->touchesEnded(t);
        return recognizer->didRecognize();
    }

    int fired = 0;
    std::shared_ptr<TapGestureRecognizer> recognizer =
        TapGestureRecognizer::create([this](TapGestureRecognizer&) { ++fired; });
};

TEST_F(TapGestureRecognizerTest, RecognisesTouchesEndingNearWhereTheyBegan)
{
    EXPECT_TRUE(tapOnce({50, 50}, {56, 56}));
    EXPECT_EQ(recognizer->locationInView(nullptr), (Point{56, 56}));
    EXPECT_FALSE(tapOnce({50, 50}, {50, 65}));
    EXPECT_EQ(fired, 1);
}

TEST_F(TapGestureRecognizerTest, ATouchThatWanderedOffFailsEvenIfItComesBack)
{
    Touch t;
    t.locationInWindow = t.startLocationInWindow = {10, 10};
    recognizer->touchesBegan(t);
    t.locationInWindow = {40, 10};
    recognizer->touchesMoved(t);
    t.locationInWindow = {10, 10};
    recognizer->touchesMoved(t);
    recognizer->touchesEnded(t);
    EXPECT_FALSE(recognizer->didRecognize());
    EXPECT_EQ(fired, 0);
}

TEST_F(TapGestureRecognizerTest, DoubleTapNeedsTwoQuickTapsInOnePlace)
{
    recognizer->setNumberOfTapsRequired(2);
    EXPECT_FALSE(tapOnce({10, 10}, {10, 10}, 0.0, 0.05));
    EXPECT_TRUE(tapOnce({12, 10}, {12, 10}, 0.2, 0.25));
    EXPECT_EQ(fired, 1);

    // Too slow: the second tap starts a new count.
    EXPECT_FALSE(tapOnce({10, 10}, {10, 10}, 1.0, 1.05));
    EXPECT_FALSE(tapOnce({10, 10}, {10, 10}, 2.0, 2.05));
    // Too far apart.
    EXPECT_FALSE(tapOnce({100, 100}, {100, 100}, 2.1, 2.15));
    EXPECT_EQ(fired, 1);
}

} // namespace
