#include "core/Log.h"
#include "graphics/Screen.h"
#include "support/Harness.h"
#include "system/Application.h"
#include "ui/View.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vq;

namespace {

class CountingController : public ViewController {
public:
    static std::shared_ptr<CountingController> create()
    {
        return std::shared_ptr<CountingController>(new CountingController());
    }
    std::vector<std::string> calls;
    void loadView() override
    {
        calls.push_back("loadView");
        setView(View::create(Rect(0, 0, 50, 50)));
    }
    void viewDidLoad() override
    {
        calls.push_back("viewDidLoad:" + std::to_string(static_cast<int>(view()->frame().width())));
    }

protected:
    CountingController() = default;
};

TEST(ViewControllerTest, ViewLoadsLazilyOnceWithTheScreenSizedDefault)
{
    test::Harness h(DeviceProfile::Tablet);
    auto counting = CountingController::create();
    EXPECT_FALSE(counting->isViewLoaded());
    auto v = counting->view();
    EXPECT_EQ(counting->view(), v);
    EXPECT_EQ(counting->calls, (std::vector<std::string>{"loadView", "viewDidLoad:50"}));
    EXPECT_EQ(v->viewController(), counting);

    auto plain = ViewController::create();
    EXPECT_EQ(plain->view()->frame(), Rect(0, 0, 768, 1024));
}

class PresentTest : public testing::Test {
protected:
    test::Harness h;
    std::shared_ptr<ViewController> root = ViewController::create();
    std::shared_ptr<Window> window = h.makeWindow(root);
    std::vector<std::string> done;
    std::function<void()> mark(std::string what)
    {
        return [this, what] { done.push_back(what); };
    }
};

TEST_F(PresentTest, AnimatedPresentationSlidesUpAndCompletesAfterTheAnimation)
{
    auto modal = ViewController::create();
    root->presentViewController(modal, true, mark("presented"));
    EXPECT_EQ(root->presentedViewController(), modal);
    EXPECT_EQ(modal->presentingViewController(), root);
    EXPECT_EQ(window->subviews().back(), modal->view());
    EXPECT_EQ(modal->view()->frame(), window->bounds()); // the model value at once

    h.advance(0.15);
    EXPECT_TRUE(done.empty());
    double midway = modal->view()->presentationFrame().y();
    EXPECT_GT(midway, 0);
    EXPECT_LT(midway, 480);
    h.advance(0.15);
    EXPECT_EQ(done, (std::vector<std::string>{"presented"}));
    EXPECT_EQ(modal->view()->presentationFrame(), window->bounds());

    modal->dismissViewController(true, mark("dismissed")); // asks its presenter
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(modal->presentingViewController(), nullptr);
    EXPECT_EQ(modal->view()->superview(), window); // still sliding down
    h.advance(0.3);
    EXPECT_EQ(done, (std::vector<std::string>{"presented", "dismissed"}));
    EXPECT_EQ(modal->view()->superview(), nullptr);
}

TEST_F(PresentTest, DismissingFromTheBottomTakesTheWholeChain)
{
    auto a = ViewController::create();
    auto b = ViewController::create();
    root->presentViewController(a, false, mark("a"));
    EXPECT_EQ(done, (std::vector<std::string>{"a"})); // not animated: at once
    a->presentViewController(b, false);
    EXPECT_EQ(a->presentedViewController(), b);
    EXPECT_EQ(b->presentingViewController(), a);

    LogCapture log;
    auto c = ViewController::create();
    a->presentViewController(c, false, mark("c")); // already presenting: refused
    EXPECT_EQ(a->presentedViewController(), b);
    EXPECT_EQ(log.lines().size(), 1u);

    root->dismissViewController(true, mark("all"));
    EXPECT_EQ(root->presentedViewController(), nullptr);
    EXPECT_EQ(a->presentedViewController(), nullptr);
    EXPECT_EQ(a->view()->superview(), nullptr); // the middle one leaves at once
    h.advance(0.3);
    EXPECT_EQ(b->view()->superview(), nullptr);
    EXPECT_EQ(done, (std::vector<std::string>{"a", "all"}));
    EXPECT_EQ(window->subviews().size(), 1u);
}

TEST_F(PresentTest, PresentingFromAControllerOutsideAWindowDoesNothing)
{
    LogCapture log;
    auto detached = ViewController::create();
    detached->presentViewController(ViewController::create(), false, mark("never"));
    EXPECT_EQ(detached->presentedViewController(), nullptr);
    EXPECT_TRUE(done.empty());
    EXPECT_EQ(log.lines().size(), 1u);
    detached->dismissViewController(false, mark("never")); // nothing presented, no presenter
    EXPECT_TRUE(done.empty());
}

} // namespace
