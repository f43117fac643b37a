#include "core/NotificationCenter.h"
#include "core/RunLoop.h"
#include "graphics/Image.h"
#include "support/Harness.h"
#include "system/Application.h"
#include "system/Keyboard.h"
#include "ui/Responder.h"
#include "ui/View.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vq;

namespace {

class Field : public View {
public:
    static std::shared_ptr<Field> create(Rect frame) { return std::shared_ptr<Field>(new Field(frame)); }
    bool canBecomeFirstResponder() const override { return true; }
    bool needsKeyboard() const override { return takesKeys; }
    bool takesKeys = true;

protected:
    using View::View;
};

struct Notice {
    std::string name;
    double time;
    std::optional<Rect> end;
};

class KeyboardTest : public testing::TestWithParam<DeviceProfile> {
protected:
    test::Harness h{GetParam()};
    std::shared_ptr<Window> window = h.makeWindow();
    std::shared_ptr<Field> field = addField({10, 10, 200, 40});
    std::vector<Notice> notices;

    void SetUp() override
    {
        for (const auto& name : {KeyboardWillShowNotification, KeyboardDidShowNotification, KeyboardWillHideNotification,
                                 KeyboardDidHideNotification, KeyboardWillChangeFrameNotification,
                                 KeyboardDidChangeFrameNotification})
            NotificationCenter::defaultCenter().addObserver(name, this, [this](const Notification& n) {
                notices.push_back({n.name, RunLoop::main().now(), n.rect(KeyboardFrameEndUserInfoKey)});
            });
    }
    std::shared_ptr<Field> addField(Rect frame)
    {
        auto f = Field::create(frame);
        window->rootViewController()->view()->addSubview(f);
        return f;
    }
    std::vector<std::string> names() const
    {
        std::vector<std::string> n;
        for (auto& x : notices)
            n.push_back(x.name);
        return n;
    }
    double screenHeight() const { return GetParam() == DeviceProfile::Tablet ? 1024 : 480; }
    double screenWidth() const { return GetParam() == DeviceProfile::Tablet ? 768 : 320; }
    double keyboardHeight() const { return GetParam() == DeviceProfile::Tablet ? 264 : 216; }
};

TEST_P(KeyboardTest, ShowsInASecondWindowWithNoticesInOrder)
{
    h.tap(50, 30);
    ASSERT_TRUE(field->isFirstResponder());
    EXPECT_TRUE(Keyboard::shared().isVisible());

    Rect shown{0, screenHeight() - keyboardHeight(), screenWidth(), keyboardHeight()};
    ASSERT_EQ(h.app().windows().size(), 2u);
    auto kbWindow = h.app().windows()[1];
    EXPECT_EQ(kbWindow, Keyboard::shared().window());
    EXPECT_EQ(kbWindow->windowLevel(), WindowLevel::Normal);
    ASSERT_FALSE(kbWindow->subviews().empty());
    auto kbView = kbWindow->subviews()[0];
    EXPECT_EQ(kbView->frame(), shown);
    EXPECT_EQ(kbView->frame().maxY(), kbWindow->frame().height());

    EXPECT_EQ(names(), (std::vector<std::string>{KeyboardWillChangeFrameNotification, KeyboardWillShowNotification}));
    EXPECT_EQ(notices[0].end, shown);
    EXPECT_EQ(notices[1].end, shown);
    h.advance(0.2);
    EXPECT_EQ(notices.size(), 2u);
    EXPECT_LT(kbView->presentationFrame().y(), screenHeight());
    EXPECT_GT(kbView->presentationFrame().y(), shown.y());
    h.advance(0.05);
    EXPECT_EQ(names(), (std::vector<std::string>{KeyboardWillChangeFrameNotification, KeyboardWillShowNotification,
                                                 KeyboardDidChangeFrameNotification, KeyboardDidShowNotification}));
    EXPECT_EQ(notices[2].time, 0.25);
    EXPECT_EQ(notices[3].time, 0.25);

    notices.clear();
    field->resignFirstResponder();
    EXPECT_FALSE(Keyboard::shared().isVisible());
    h.advance(0.25);
    Rect hidden{0, screenHeight(), screenWidth(), keyboardHeight()};
    EXPECT_EQ(names(), (std::vector<std::string>{KeyboardWillChangeFrameNotification, KeyboardWillHideNotification,
                                                 KeyboardDidChangeFrameNotification, KeyboardDidHideNotification}));
    EXPECT_EQ(notices[0].end, hidden);
    EXPECT_EQ(notices[3].time, 0.5);
    EXPECT_EQ(h.app().windows().size(), 2u); // the window stays for the next time
}

TEST_P(KeyboardTest, DrawsKeysOverTheBottomOfTheAppOnlyWhileUp)
{
    window->rootViewController()->view()->setBackgroundColor(Color::blackColor());
    double y = screenHeight() - keyboardHeight();
    EXPECT_TRUE(test::nearColor(h.pixel(1, y + 1), Color::blackColor()));
    field->becomeFirstResponder();
    h.advance(1);
    // The keyboard's grey at its top-left corner, and light keys inside it.
    auto shot = h.render();
    EXPECT_GT(test::Harness::pixel(*shot, 1, y + 1).r, 0.7f);
    int light = 0;
    for (double x = 5; x < screenWidth(); x += 10)
        light += test::Harness::pixel(*shot, x, y + keyboardHeight() / 8).r > 0.95f ? 1 : 0;
    EXPECT_GT(light, 10);
    field->resignFirstResponder();
    h.advance(1);
    EXPECT_TRUE(test::nearColor(h.pixel(1, y + 1), Color::blackColor()));
}

TEST_P(KeyboardTest, MovingFocusBetweenFieldsKeepsItUpAndAQuickHideWinsOverAPendingShow)
{
    auto other = addField({10, 100, 200, 40});
    auto plain = addField({10, 200, 200, 40});
    plain->takesKeys = false;

    field->becomeFirstResponder();
    h.advance(0.1);
    other->becomeFirstResponder();
    EXPECT_TRUE(Keyboard::shared().isVisible());
    plain->becomeFirstResponder(); // focusable, but takes no keys
    EXPECT_FALSE(Keyboard::shared().isVisible());
    h.advance(1);
    // The show's completion came after the hide began: no did-show.
    EXPECT_EQ(names(), (std::vector<std::string>{KeyboardWillChangeFrameNotification, KeyboardWillShowNotification,
                                                 KeyboardWillChangeFrameNotification, KeyboardWillHideNotification,
                                                 KeyboardDidChangeFrameNotification, KeyboardDidHideNotification}));
}

TEST_P(KeyboardTest, TouchesOutsideTheKeyboardReachTheAppWindow)
{
    field->becomeFirstResponder();
    h.advance(1);
    auto other = addField({10, 100, 200, 40});
    auto underKeyboard = addField({0, screenHeight() - 40, 200, 40});
    h.tap(50, 120); // above the keyboard, through the keyboard's window
    EXPECT_TRUE(other->isFirstResponder());
    h.tap(50, screenHeight() - 10); // on the keyboard: the field below does not get it
    EXPECT_TRUE(other->isFirstResponder());
    EXPECT_FALSE(underKeyboard->isFirstResponder());
}

INSTANTIATE_TEST_SUITE_P(Profiles, KeyboardTest, testing::Values(DeviceProfile::Phone, DeviceProfile::Tablet),
                         [](const auto& p) { return std::string(profileInfo(p.param).name); });

} // namespace
