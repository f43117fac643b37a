#include "promotion/ads/AdOverlay.h"

#include "support/Harness.h"
#include "system/Application.h"
#include "ui/Button.h"
#include "ui/Window.h"

#include <gtest/gtest.h>

namespace vq::test {
namespace {

class AdOverlayTest : public testing::Test {
protected:
    AdOverlayTest()
    {
        harness.app().setStatusBarHidden(false);
        harness.makeWindow();
        overlay = AdOverlay::create({304, 400});
        overlay->setOnMaskTap([this] { ++maskTaps; });
    }
    Harness harness;
    std::shared_ptr<AdOverlay> overlay;
    int maskTaps = 0;
};

TEST_F(AdOverlayTest, DropsInWithABounceAndTakesDimmerTapsOnlyFromTheLastStepOfTheFirstDrop)
{
    // Status bar visible: application frame 320 x 460.
    EXPECT_EQ(overlay->rootView()->frame(), (Rect{0, 0, 320, 480}));
    EXPECT_EQ(overlay->rootView()->tag(), AdOverlay::kRootTag);
    EXPECT_EQ(overlay->cardView()->center(), (Point{160, -240}));
    EXPECT_FALSE(overlay->isOnScreen());

    overlay->dropIn(AdOverlay::rootMiddleY());
    auto window = harness.app().keyWindow();
    EXPECT_EQ(window->subviews().back(), overlay->rootView());
    EXPECT_EQ(AdOverlay::frontmostOnScreen(), overlay);
    EXPECT_EQ(overlay->rootView()->subviews().front(), overlay->maskView());

    harness.advance(0.1);
    EXPECT_NEAR(overlay->cardView()->presentationCenter().y, 0, 1); // halfway from -240 to 240
    harness.advance(0.1 + 0.08);                                     // the drop and the rise
    EXPECT_NEAR(overlay->cardView()->presentationCenter().y, 230, 0.01);
    harness.tap(10, 10);
    harness.advance(0.04);                                           // 0.32 s
    harness.tap(10, 10);
    EXPECT_EQ(maskTaps, 0);
    harness.advance(0.015);                                          // past 0.33 s
    harness.tap(10, 10);
    EXPECT_EQ(maskTaps, 1);
    harness.advance(1);
    EXPECT_EQ(overlay->cardView()->presentationCenter().y, 240);
    EXPECT_FLOAT_EQ(overlay->maskView()->presentationAlpha(), 0.3f);
}

TEST_F(AdOverlayTest, FliesOutParksTheCardAndShowsAgainFromAboveWithTheDimmerLive)
{
    overlay->dropIn(AdOverlay::rootMiddleY());
    harness.advance(1);
    overlay->flyOut();
    overlay->flyOut(); // a second one must not turn the card back
    harness.advance(0.15);
    EXPECT_LT(overlay->cardView()->presentationCenter().y, 240);
    EXPECT_TRUE(overlay->isOnScreen());
    harness.advance(0.2);
    EXPECT_FALSE(overlay->isOnScreen());
    EXPECT_EQ(AdOverlay::frontmostOnScreen(), nullptr);
    EXPECT_EQ(overlay->cardView()->center(), (Point{160, -230}));
    EXPECT_EQ(overlay->rootView()->frame(), (Rect{0, 20, 320, 460}));
    EXPECT_EQ(overlay->maskView()->alpha(), 0);

    overlay->flyOut(); // off screen: harmless
    EXPECT_EQ(overlay->cardView()->center(), (Point{160, -230}));

    overlay->dropIn(300);
    EXPECT_TRUE(overlay->isOnScreen());
    harness.advance(0.01);
    EXPECT_LT(overlay->cardView()->presentationCenter().y, 0);
    harness.tap(10, 30); // the dimmer reacts at once from the second show on
    EXPECT_EQ(maskTaps, 1);
    harness.advance(1);
    EXPECT_EQ(overlay->cardView()->center().y, 300);
}

TEST_F(AdOverlayTest, AHideDuringTheDropStopsTheBounceAndAShowDuringTheHideWins)
{
    overlay->dropIn(AdOverlay::rootMiddleY());
    harness.advance(0.1);
    overlay->flyOut();
    harness.advance(1);
    EXPECT_FALSE(overlay->isOnScreen());
    EXPECT_EQ(overlay->cardView()->center(), (Point{160, -230}));
    EXPECT_FALSE(overlay->maskView()->isUserInteractionEnabled());

    overlay->dropIn(AdOverlay::rootMiddleY());
    harness.advance(1);
    overlay->flyOut();
    harness.advance(0.1);
    overlay->dropIn(AdOverlay::rootMiddleY());
    harness.advance(1);
    EXPECT_TRUE(overlay->isOnScreen());
    EXPECT_EQ(overlay->cardView()->center().y, 240);
}

} // namespace
} // namespace vq::test
