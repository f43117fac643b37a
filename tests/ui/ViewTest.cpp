#include "core/EventHub.h"
#include "core/RunLoop.h"
#include "ui/View.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vq;

namespace {

std::shared_ptr<View> makeView(Rect frame, int tag = 0)
{
    auto v = View::create(frame);
    v->setTag(tag);
    return v;
}

std::vector<int> tagsOf(const View& v)
{
    std::vector<int> tags;
    for (auto& s : v.subviews())
        tags.push_back(s->tag());
    return tags;
}

TEST(ViewTree, OrderingReparentingAndTagSearch)
{
    auto root = makeView({0, 0, 100, 100}, 1);
    auto a = makeView({0, 0, 10, 10}, 2);
    auto b = makeView({0, 0, 10, 10}, 3);
    auto c = makeView({0, 0, 10, 10}, 4);
    root->addSubview(a);
    root->addSubview(b);
    root->addSubview(c);
    EXPECT_EQ(tagsOf(*root), (std::vector<int>{2, 3, 4}));

    root->bringSubviewToFront(a);
    EXPECT_EQ(tagsOf(*root), (std::vector<int>{3, 4, 2}));
    root->sendSubviewToBack(c);
    EXPECT_EQ(tagsOf(*root), (std::vector<int>{4, 3, 2}));

    // Moving a view to another parent takes it out of the first.
    b->addSubview(a);
    EXPECT_EQ(tagsOf(*root), (std::vector<int>{4, 3}));
    EXPECT_EQ(a->superview(), b);

    // A view never becomes its own ancestor's child.
    a->addSubview(root);
    EXPECT_EQ(root->superview(), nullptr);
    EXPECT_TRUE(a->subviews().empty());

    // The view itself first, then depth-first in subview order.
    auto deep = makeView({}, 9);
    auto shallow = makeView({}, 9);
    c->addSubview(deep);
    root->addSubview(shallow);
    EXPECT_EQ(root->viewWithTag(9), deep);
    EXPECT_EQ(root->viewWithTag(1), root);
    EXPECT_EQ(root->viewWithTag(77), nullptr);

    a->removeFromSuperview();
    EXPECT_EQ(a->superview(), nullptr);
    EXPECT_TRUE(b->subviews().empty());
}

TEST(ViewGeometry, FrameCentreBoundsAndTransform)
{
    auto v = makeView({10, 20, 100, 50});
    EXPECT_EQ(v->center(), (Point{60, 45}));
    EXPECT_EQ(v->bounds(), (Rect{0, 0, 100, 50}));

    v->setCenter({200, 200});
    EXPECT_EQ(v->frame(), (Rect{150, 175, 100, 50}));

    // A scale keeps the centre and scales the frame, not the bounds.
    v->setTransform(AffineTransform::makeScale(2, 2));
    EXPECT_EQ(v->frame(), (Rect{100, 150, 200, 100}));
    EXPECT_EQ(v->bounds().size, (Size{100, 50}));

    v->setTransform(AffineTransform::identity());
    v->sizeToFit(); // a plain view fits its own size
    EXPECT_EQ(v->frame(), (Rect{150, 175, 100, 50}));
}

TEST(ViewGeometry, ConvertsThroughOffsetsScrollAndScale)
{
    auto root = makeView({0, 0, 320, 480});
    auto scroller = makeView({10, 100, 200, 200});
    scroller->setBounds({0, 50, 200, 200}); // scrolled down by 50
    auto child = makeView({20, 60, 40, 40});
    root->addSubview(scroller);
    scroller->addSubview(child);

    EXPECT_EQ(child->convertPointTo({0, 0}, nullptr), (Point{30, 110}));
    EXPECT_EQ(child->convertPointFrom({30, 110}, nullptr), (Point{0, 0}));
    EXPECT_EQ(child->convertRectTo({0, 0, 40, 40}, root.get()), (Rect{30, 110, 40, 40}));

    scroller->setTransform(AffineTransform::makeScale(2, 2));
    // The scroller's centre (110, 200) stays; content doubles around it.
    Point p = child->convertPointTo({0, 0}, nullptr);
    EXPECT_DOUBLE_EQ(p.x, 110 + (20 - 100) * 2);
    EXPECT_DOUBLE_EQ(p.y, 200 + (60 - 150) * 2);
    Point back = child->convertPointFrom(p, nullptr);
    EXPECT_NEAR(back.x, 0, 1e-9);
    EXPECT_NEAR(back.y, 0, 1e-9);
}

TEST(ViewHitTest, FrontToBackSkippingHiddenTransparentAndDisabled)
{
    auto root = makeView({0, 0, 320, 480}, 1);
    auto back = makeView({0, 0, 100, 100}, 2);
    auto front = makeView({50, 50, 100, 100}, 3);
    root->addSubview(back);
    root->addSubview(front);

    EXPECT_EQ(root->hitTest({60, 60})->tag(), 3);
    EXPECT_EQ(root->hitTest({10, 10})->tag(), 2);
    EXPECT_EQ(root->hitTest({300, 400})->tag(), 1);
    EXPECT_EQ(root->hitTest({-1, 10}), nullptr);

    front->setHidden(true);
    EXPECT_EQ(root->hitTest({60, 60})->tag(), 2);
    front->setHidden(false);
    front->setAlpha(0);
    EXPECT_EQ(root->hitTest({60, 60})->tag(), 2);
    front->setAlpha(1);
    front->setUserInteractionEnabled(false);
    EXPECT_EQ(root->hitTest({60, 60})->tag(), 2);
    // Interaction off on a parent takes its whole subtree out.
    front->setUserInteractionEnabled(true);
    auto inner = makeView({0, 0, 10, 10}, 4);
    front->addSubview(inner);
    EXPECT_EQ(root->hitTest({55, 55})->tag(), 4);
    front->setUserInteractionEnabled(false);
    EXPECT_EQ(root->hitTest({55, 55})->tag(), 2);
}

TEST(ViewHitTest, ChildrenOutsideTheirParentOnlyWhenItDoesNotClip)
{
    auto root = makeView({0, 0, 320, 480}, 1);
    auto box = makeView({100, 100, 50, 50}, 2);
    auto overhang = makeView({40, 40, 50, 50}, 3); // sticks out of box to the lower right
    root->addSubview(box);
    box->addSubview(overhang);

    EXPECT_EQ(root->hitTest({180, 180})->tag(), 3);
    box->setClipsToBounds(true);
    EXPECT_EQ(root->hitTest({180, 180})->tag(), 1);
    EXPECT_EQ(root->hitTest({145, 145})->tag(), 3); // the visible part still takes touches
}

TEST(ViewAnimation, ModelAtOncePresentationInterpolatedCompletionsInDeadlineOrder)
{
    auto& loop = RunLoop::main();
    loop.reset();
    loop.useManualClock();

    auto v = makeView({0, 0, 100, 100});
    std::vector<std::string> events;
    View::animate(
        0.5, [&] { v->setCenter({150, 50}); v->setAlpha(0); }, [&](bool finished) {
            events.push_back(finished ? "slide done" : "slide cut");
        });
    loop.performAfter(0.25, [&] { events.push_back("timer"); });
    View::animate(0.25, [] {}, [&](bool) { events.push_back("short done"); });

    EXPECT_EQ(v->center(), (Point{150, 50}));
    EXPECT_EQ(v->alpha(), 0);
    EXPECT_EQ(v->presentationCenter(), (Point{50, 50}));
    EXPECT_TRUE(v->hasRunningAnimations());

    loop.advance(0.25);
    // Half way on an ease-in-out curve is half way.
    EXPECT_NEAR(v->presentationCenter().x, 100, 1e-9);
    EXPECT_NEAR(v->presentationAlpha(), 0.5, 1e-6);
    EXPECT_EQ(events, (std::vector<std::string>{"timer", "short done"}));

    loop.advance(0.25);
    EXPECT_EQ(v->presentationCenter(), (Point{150, 50}));
    EXPECT_FALSE(v->hasRunningAnimations());
    EXPECT_EQ(events.back(), "slide done");

    // Outside an animation block changes are immediate.
    v->setCenter({0, 0});
    EXPECT_EQ(v->presentationCenter(), (Point{0, 0}));
    loop.reset();
    loop.useSystemClock();
}

class FocusView : public View {
public:
    static std::shared_ptr<FocusView> create() { return std::shared_ptr<FocusView>(new FocusView()); }
    bool canBecomeFirstResponder() const override { return true; }

protected:
    FocusView() = default;
};

TEST(Responder, FirstResponderMovesAndObserverSeesEachChange)
{
    auto a = FocusView::create();
    auto b = FocusView::create();
    auto plain = View::create();
    std::vector<std::pair<Responder*, Responder*>> changes;
    auto heard = EventHub::shared().subscribe<FirstResponderChanged>(
        [&](const FirstResponderChanged& c) { changes.emplace_back(c.previous, c.current); });

    EXPECT_FALSE(plain->becomeFirstResponder());
    EXPECT_TRUE(a->becomeFirstResponder());
    EXPECT_TRUE(b->becomeFirstResponder());
    EXPECT_FALSE(a->isFirstResponder());
    EXPECT_TRUE(b->isFirstResponder());
    EXPECT_TRUE(b->resignFirstResponder());
    EXPECT_EQ(Responder::firstResponder(), nullptr);
    heard.reset();

    using P = std::pair<Responder*, Responder*>;
    EXPECT_EQ(changes, (std::vector<P>{{nullptr, a.get()}, {a.get(), b.get()}, {b.get(), nullptr}}));
}

} // namespace
