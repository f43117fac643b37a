#include "graphics/Screen.h"
#include "support/Harness.h"
#include "system/Application.h"
#include "ui/GestureRecognizer.h"
#include "ui/Responder.h"
#include "ui/View.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vq;

namespace {

using Events = std::vector<std::string>;

// Records the touches it is given, under its name, in its own coordinates.
class Probe : public View {
public:
    static std::shared_ptr<Probe> create(std::string name, Rect frame, Events& log)
    {
        return std::shared_ptr<Probe>(new Probe(std::move(name), frame, log));
    }
    void touchesBegan(const Touch& t) override { record("began", t); }
    void touchesMoved(const Touch& t) override { record("moved", t); }
    void touchesEnded(const Touch& t) override { record("ended", t); }
    void touchesCancelled(const Touch& t) override { record("cancelled", t); }
    bool capturesDrags() const override { return captures; }
    bool canBecomeFirstResponder() const override { return focusable; }

    bool captures = false;
    bool focusable = false;
    Point lastLocation;

private:
    void record(const char* what, const Touch& t)
    {
        lastLocation = t.locationIn(*this);
        _log.push_back(_name + ":" + what);
    }
    std::string _name;
    Events& _log;

protected:
    Probe(std::string name, Rect frame, Events& log) : View(frame), _name(std::move(name)), _log(log) {}
};

class Recognizer : public GestureRecognizer {
public:
    explicit Recognizer(Events& log) : _log(log) {}
    void touchesBegan(const Touch&) override { _log.push_back("rec:began"); }
    void touchesMoved(const Touch&) override
    {
        _log.push_back("rec:moved");
        recognized = recognizeOnMove;
    }
    void touchesEnded(const Touch&) override
    {
        _log.push_back("rec:ended");
        recognized = recognizeOnEnd;
    }
    bool didRecognize() const override { return recognized; }
    bool recognizeOnMove = false;
    bool recognizeOnEnd = false;
    bool recognized = false;

private:
    Events& _log;
};

class TouchDispatchTest : public testing::Test {
protected:
    test::Harness h;
    std::shared_ptr<Window> window = h.makeWindow();
    std::shared_ptr<View> root = window->rootViewController()->view();
    Events log;

    std::shared_ptr<Probe> probe(std::string name, Rect frame, const std::shared_ptr<View>& parent)
    {
        auto p = Probe::create(std::move(name), frame, log);
        parent->addSubview(p);
        return p;
    }
};

TEST_F(TouchDispatchTest, HitTestingHonoursClippingHiddenViewsAndOrder)
{
    auto clip = probe("clip", {100, 100, 50, 50}, root);
    clip->setClipsToBounds(true);
    auto overhang = probe("overhang", {40, 0, 40, 40}, clip); // sticks out to the right of clip
    auto loose = probe("loose", {0, 100, 50, 50}, root);
    auto outside = probe("outside", {60, 0, 40, 40}, loose); // outside loose, which does not clip
    auto under = probe("under", {200, 200, 50, 50}, root);
    auto over = probe("over", {200, 200, 50, 50}, root);

    h.tap(145, 110); // overhang's visible part
    h.tap(165, 110); // overhang's clipped part: nothing of ours
    h.tap(70, 110);  // outside its unclipped parent still takes touches
    h.tap(225, 225); // the later sibling is in front
    over->setHidden(true);
    h.tap(225, 225);
    under->setUserInteractionEnabled(false);
    h.tap(225, 225);
    EXPECT_EQ(log, (Events{"overhang:began", "overhang:ended", "outside:began", "outside:ended", "over:began",
                           "over:ended", "under:began", "under:ended"}));
    EXPECT_EQ(outside->lastLocation, (Point{10, 10}));
}

TEST_F(TouchDispatchTest, FrontWindowsFirstByLevelThenLatest)
{
    auto back = probe("back", {0, 0, 320, 480}, root);
    auto later = Window::create({20, 20, 150, 150}); // smaller than the screen, and moved
    auto laterProbe = probe("later", {0, 0, 100, 100}, later);
    auto alert = Window::create(Screen::main().bounds());
    auto alertProbe = probe("alert", {0, 0, 50, 50}, alert);
    alert->setWindowLevel(WindowLevel::Alert);
    auto newest = Window::create(Screen::main().bounds());
    probe("newest", {0, 0, 10, 10}, newest);

    h.tap(5, 5); // the alert level beats the newer normal window
    // The alert window covers the screen, so it swallows touches around its content too.
    h.tap(75, 75);
    h.tap(200, 200);
    EXPECT_EQ(log, (Events{"alert:began", "alert:ended"}));
    alert->setHidden(true);
    newest->setHidden(true);
    log.clear();
    h.tap(75, 75);
    h.tap(200, 200);
    EXPECT_EQ(log, (Events{"later:began", "later:ended", "back:began", "back:ended"}));
    EXPECT_EQ(laterProbe->lastLocation, (Point{55, 55}));
}

TEST_F(TouchDispatchTest, DragIsTakenOverByACapturingAncestorPastTheThreshold)
{
    auto scroller = probe("scroller", {0, 0, 320, 480}, root);
    scroller->captures = true;
    auto cell = probe("cell", {0, 100, 320, 44}, scroller);

    h.drag({100, 120}, {106, 120}, 3); // within the threshold: the cell keeps it
    EXPECT_EQ(log, (Events{"cell:began", "cell:moved", "cell:moved", "cell:moved", "cell:ended"}));

    log.clear();
    h.drag({100, 120}, {100, 60}, 4); // 15 pt per step
    EXPECT_EQ(log, (Events{"cell:began", "cell:cancelled", "scroller:moved", "scroller:moved", "scroller:moved",
                           "scroller:moved", "scroller:ended"}));
    EXPECT_EQ(scroller->lastLocation, (Point{100, 60}));
}

TEST_F(TouchDispatchTest, RecognisersSeeTouchesFirstAndCancelTheViewOnceRecognised)
{
    auto parent = probe("parent", {0, 0, 200, 200}, root);
    auto child = probe("child", {0, 0, 100, 100}, parent);
    auto rec = std::make_shared<Recognizer>(log);
    parent->addGestureRecognizer(rec);

    h.tap(10, 10);
    EXPECT_EQ(log, (Events{"rec:began", "child:began", "rec:ended", "child:ended"}));

    log.clear();
    rec->recognizeOnEnd = true;
    h.tap(10, 10);
    EXPECT_EQ(log, (Events{"rec:began", "child:began", "rec:ended", "child:cancelled"}));

    log.clear();
    rec->setCancelsTouchesInView(false);
    h.tap(10, 10);
    EXPECT_EQ(log, (Events{"rec:began", "child:began", "rec:ended", "child:ended"}));

    log.clear();
    rec->setCancelsTouchesInView(true);
    rec->recognizeOnMove = true;
    h.drag({10, 10}, {12, 10}, 2);
    EXPECT_EQ(log, (Events{"rec:began", "child:began", "rec:moved", "child:cancelled", "rec:moved", "rec:ended"}));
}

TEST_F(TouchDispatchTest, TapFocusesAFocusableViewButTappingElsewhereKeepsTheFocus)
{
    auto field = probe("field", {0, 0, 100, 40}, root);
    field->focusable = true;
    auto label = probe("label", {5, 5, 20, 20}, field); // a subview of the field
    probe("other", {0, 200, 100, 40}, root);

    h.tap(50, 220);
    EXPECT_EQ(Responder::firstResponder(), nullptr);
    h.tap(10, 10);
    EXPECT_EQ(Responder::firstResponder(), field);
    h.tap(50, 220);
    EXPECT_EQ(Responder::firstResponder(), field);

    // A touch that ends up cancelled does not focus.
    field->resignFirstResponder();
    h.app().sendTouch({10, 10}, Touch::Phase::Began);
    h.app().sendTouch({10, 10}, Touch::Phase::Cancelled);
    EXPECT_EQ(Responder::firstResponder(), nullptr);
}

TEST_F(TouchDispatchTest, ANewTouchCancelsOneThatNeverEnded)
{
    auto a = probe("a", {0, 0, 100, 100}, root);
    auto b = probe("b", {0, 200, 100, 100}, root);
    h.app().sendTouch({10, 10}, Touch::Phase::Began);
    EXPECT_EQ(h.app().touchedView(), a);
    h.tap(10, 210);
    EXPECT_EQ(log, (Events{"a:began", "a:cancelled", "b:began", "b:ended"}));
    EXPECT_EQ(h.app().touchedView(), nullptr);
    // Moves and ends without a touch down go nowhere.
    h.app().sendTouch({10, 10}, Touch::Phase::Moved);
    h.app().sendTouch({10, 10}, Touch::Phase::Ended);
    EXPECT_EQ(log.size(), 4u);
}

} // namespace
