#include "graphics/Screen.h"
#include "support/Harness.h"
#include "system/Application.h"
#include "ui/View.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

#include <gtest/gtest.h>

using namespace vq;

namespace {

TEST(WindowTest, RootControllerViewIsTheOnlyContentAndFillsTheWindow)
{
    test::Harness h(DeviceProfile::Tall);
    auto window = Window::create({0, 0, 320, 568});
    window->addSubview(View::create(Rect(0, 0, 10, 10)));
    auto first = ViewController::create();
    window->setRootViewController(first);
    ASSERT_EQ(window->subviews().size(), 1u);
    EXPECT_EQ(window->subviews()[0], first->view());
    EXPECT_EQ(first->view()->frame(), Rect(0, 0, 320, 568));
    EXPECT_EQ(first->view()->window(), window);
    EXPECT_EQ(first->nextResponder(), window);
    EXPECT_EQ(first->view()->nextResponder(), first);

    auto second = ViewController::create();
    window->setRootViewController(second);
    ASSERT_EQ(window->subviews().size(), 1u);
    EXPECT_EQ(window->subviews()[0], second->view());
    EXPECT_EQ(first->view()->superview(), nullptr);
    EXPECT_EQ(first->nextResponder(), nullptr);

    window->setRootViewController(nullptr);
    EXPECT_TRUE(window->subviews().empty());
}

} // namespace
