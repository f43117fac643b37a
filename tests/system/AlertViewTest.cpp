#include "core/EventHub.h"
#include "support/Harness.h"
#include "system/AlertView.h"
#include "system/Application.h"
#include "ui/View.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vq;

namespace {

class RecordingAlertDelegate : public AlertViewDelegate {
public:
    std::vector<std::string> calls;
    void alertViewClickedButtonAtIndex(AlertView& alert, int index) override
    {
        calls.push_back("clicked:" + std::to_string(index) + ":" + std::to_string(alert.tag()));
    }
    void alertViewDidDismissWithButtonIndex(AlertView& alert, int index) override
    {
        calls.push_back("dismissed:" + std::to_string(index) + ":" + std::to_string(alert.tag()));
    }
};

using Calls = std::vector<std::string>;

class AlertViewTest : public testing::Test {
protected:
    test::Harness h;
    std::shared_ptr<Window> appWindow = h.makeWindow();
    std::shared_ptr<RecordingAlertDelegate> delegate = std::make_shared<RecordingAlertDelegate>();

    // Taps the middle of a button, in screen points, through the dispatcher.
    void tapButton(const AlertView& alert, int index)
    {
        Rect r = alert.convertRectTo(alert.buttonFrame(index), nullptr);
        h.tap(r.midX(), r.midY());
    }
};

TEST(AlertViewButtons, IndicesStartWithTheCancelButtonWhenThereIsOne)
{
    auto withCancel = AlertView::create("T", "M", {}, "Cancel", {"One", "Two"});
    EXPECT_EQ(withCancel->cancelButtonIndex(), 0);
    EXPECT_EQ(withCancel->numberOfButtons(), 3);
    EXPECT_EQ(withCancel->buttonTitleAtIndex(0), "Cancel");
    EXPECT_EQ(withCancel->buttonTitleAtIndex(2), "Two");
    EXPECT_EQ(withCancel->buttonTitleAtIndex(3), std::nullopt);
    EXPECT_EQ(withCancel->buttonTitleAtIndex(-1), std::nullopt);
    EXPECT_EQ(withCancel->addButtonWithTitle("Three"), 3);

    auto noCancel = AlertView::create("T", "M", {}, std::nullopt, {"One", "Two"});
    EXPECT_EQ(noCancel->cancelButtonIndex(), -1);
    EXPECT_EQ(noCancel->buttonTitleAtIndex(0), "One");
    EXPECT_STREQ(noCancel->className(), "AlertView");
}

TEST_F(AlertViewTest, TappingAButtonClicksThenDismissesThenReportsTheDismissal)
{
    auto alert = AlertView::create("Title", "A message", delegate, "Cancel", {"OK"});
    alert->setTag(7);
    std::vector<std::string> shown;
    auto heard = EventHub::shared().subscribe<AlertShown>([&](const AlertShown& e) { shown.push_back(e.alert.title()); });
    alert->show();
    EXPECT_EQ(shown, (std::vector<std::string>{"Title"}));
    ASSERT_EQ(AlertView::visibleAlerts().size(), 1u);
    ASSERT_EQ(h.app().windows().size(), 2u);
    EXPECT_EQ(h.app().windows()[1]->windowLevel(), WindowLevel::Alert);
    EXPECT_EQ(alert->window(), h.app().windows()[1]);

    // Two buttons sit side by side, cancel on the left.
    EXPECT_LT(alert->buttonFrame(0).x(), alert->buttonFrame(1).x());
    EXPECT_EQ(alert->buttonFrame(0).y(), alert->buttonFrame(1).y());

    tapButton(*alert, 1);
    EXPECT_EQ(delegate->calls, (Calls{"clicked:1:7"}));
    EXPECT_TRUE(AlertView::visibleAlerts().empty());
    h.advance(AlertView::kDismissDuration);
    EXPECT_EQ(delegate->calls, (Calls{"clicked:1:7", "dismissed:1:7"}));
    EXPECT_EQ(h.app().windows().size(), 1u);
    EXPECT_EQ(alert->window(), nullptr);
}

TEST_F(AlertViewTest, DismissingInCodeReportsOnlyTheDismissal)
{
    auto alert = AlertView::create("T", "", delegate, "Cancel", {"A", "B"});
    alert->show();
    alert->dismissWithClickedButtonIndex(2, false);
    EXPECT_EQ(delegate->calls, (Calls{"dismissed:2:0"}));
    EXPECT_EQ(h.app().windows().size(), 1u);
    alert->dismissWithClickedButtonIndex(1, false); // already gone
    EXPECT_EQ(delegate->calls.size(), 1u);

    alert->show(); // may be shown again
    alert->dismissWithClickedButtonIndex(0, true);
    EXPECT_EQ(delegate->calls.size(), 1u);
    h.advance(AlertView::kDismissDuration);
    EXPECT_EQ(delegate->calls, (Calls{"dismissed:2:0", "dismissed:0:0"}));
}

TEST_F(AlertViewTest, StackedButtonsPutCancelLastAndOnlyAFullTapOnOneButtonCounts)
{
    auto alert = AlertView::create("Stacked", "", delegate, "Cancel", {"A", "B"});
    alert->show();
    EXPECT_LT(alert->buttonFrame(1).y(), alert->buttonFrame(2).y());
    EXPECT_LT(alert->buttonFrame(2).y(), alert->buttonFrame(0).y());

    // Outside the buttons, and outside the box: nothing, and the app below gets nothing either.
    Rect box = alert->convertRectTo(alert->bounds(), nullptr);
    h.tap(box.midX(), box.minY() + 5);
    h.tap(5, 5);
    // Pressed on one button, lifted on another.
    Rect a = alert->convertRectTo(alert->buttonFrame(1), nullptr);
    Rect b = alert->convertRectTo(alert->buttonFrame(2), nullptr);
    h.app().sendTouch(a.center(), Touch::Phase::Began);
    EXPECT_EQ(alert->highlightedButton(), 1);
    h.app().sendTouch(b.center(), Touch::Phase::Moved);
    EXPECT_EQ(alert->highlightedButton(), -1);
    h.app().sendTouch(b.center(), Touch::Phase::Ended);
    EXPECT_TRUE(delegate->calls.empty());
    EXPECT_TRUE(alert->isVisible());

    tapButton(*alert, 0);
    h.advance(1);
    EXPECT_EQ(delegate->calls, (Calls{"clicked:0:0", "dismissed:0:0"}));
}

TEST_F(AlertViewTest, RenderDimsTheScreenAndDrawsALightBox)
{
    appWindow->rootViewController()->view()->setBackgroundColor(Color::whiteColor());
    EXPECT_TRUE(test::nearColor(h.pixel(5, 5), Color::whiteColor()));
    auto alert = AlertView::create("Title", "Message", {}, "OK");
    alert->show();
    Color dimmed = h.pixel(5, 5);
    EXPECT_TRUE(test::nearColor(dimmed, Color::white(0.6f), 0.03f)) << dimmed.r;
    Rect box = alert->convertRectTo(alert->bounds(), nullptr);
    Color inside = h.pixel(box.minX() + 4, box.midY());
    EXPECT_GT(inside.r, 0.9f);
}

} // namespace
