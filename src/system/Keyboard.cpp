#include "system/Keyboard.h"

#include "core/NotificationCenter.h"
#include "graphics/Color.h"
#include "graphics/GraphicsContext.h"
#include "graphics/Screen.h"
#include "system/Application.h"
#include "system/Device.h"
#include "ui/Responder.h"
#include "ui/View.h"
#include "ui/Window.h"

#include <algorithm>

namespace vq {

namespace {

// Lets touches outside the keyboard through to the windows below.
class KeyboardWindow : public Window {
public:
    // Unlike Window::create, not listed among the application's windows.
    static std::shared_ptr<KeyboardWindow> create(Rect frame)
    {
        return std::shared_ptr<KeyboardWindow>(new KeyboardWindow(frame));
    }
    const char* className() const override { return "KeyboardWindow"; }
    std::shared_ptr<View> hitTest(Point p) override
    {
        auto hit = Window::hitTest(p);
        return hit.get() == this ? nullptr : hit;
    }

protected:
    using Window::Window;
};

// Draws a plain pattern of keys; typing comes through Application, not through it.
class KeyboardView : public View {
public:
    static std::shared_ptr<KeyboardView> create(Rect frame) { return std::shared_ptr<KeyboardView>(new KeyboardView(frame)); }
    const char* className() const override { return "KeyboardView"; }

    void draw(GraphicsContext& context) override
    {
        Rect b = bounds();
        context.fillRect(b, Color::rgb255(209, 212, 217));
        const int keysPerRow[] = {10, 9, 7};
        const double gap = b.width() / 53.0;
        const double rowHeight = (b.height() - 5 * gap) / 4;
        const double keyWidth = (b.width() - 11 * gap) / 10;
        const Color key = Color::whiteColor();
        const Color special = Color::rgb255(172, 179, 188);
        for (int row = 0; row < 3; ++row) {
            int n = keysPerRow[row];
            double rowWidth = n * keyWidth + (n - 1) * gap;
            double x = (b.width() - rowWidth) / 2;
            double y = gap + row * (rowHeight + gap);
            for (int i = 0; i < n; ++i)
                context.fillRoundedRect({x + i * (keyWidth + gap), y, keyWidth, rowHeight}, 4, key);
            if (row == 2) {
                double side = (b.width() - rowWidth) / 2 - 2 * gap;
                context.fillRoundedRect({gap, y, side, rowHeight}, 4, special);
                context.fillRoundedRect({b.width() - gap - side, y, side, rowHeight}, 4, special);
            }
        }
        double y = gap + 3 * (rowHeight + gap);
        double side = 2.5 * keyWidth + gap;
        context.fillRoundedRect({gap, y, side, rowHeight}, 4, special);
        context.fillRoundedRect({2 * gap + side, y, b.width() - 2 * side - 4 * gap, rowHeight}, 4, key);
        context.fillRoundedRect({b.width() - gap - side, y, side, rowHeight}, 4, special);
    }

protected:
    using View::View;
};

std::map<std::string, Notification::Value> frameInfo(Rect begin, Rect end)
{
    return {{KeyboardFrameBeginUserInfoKey, begin},
            {KeyboardFrameEndUserInfoKey, end},
            {KeyboardAnimationDurationUserInfoKey, Keyboard::kAnimationDuration}};
}

} // namespace

Keyboard& Keyboard::shared()
{
    static Keyboard keyboard;
    return keyboard;
}

void Keyboard::install()
{
    _following = EventHub::shared().subscribe<FirstResponderChanged>([](const FirstResponderChanged& change) {
        if (change.current && change.current->needsKeyboard())
            shared().show();
        else
            shared().hide();
    });
}

double Keyboard::height() const
{
    return Device::current().profile() == DeviceProfile::Tablet ? kTabletHeight : kPhoneHeight;
}

Rect Keyboard::shownFrame() const
{
    Rect screen = Screen::main().bounds();
    return {0, screen.height() - height(), screen.width(), height()};
}

Rect Keyboard::hiddenFrame() const
{
    Rect screen = Screen::main().bounds();
    return {0, screen.height(), screen.width(), height()};
}

Rect Keyboard::frame() const { return _visible ? shownFrame() : hiddenFrame(); }

void Keyboard::ensureWindow()
{
    if (!_window) {
        _window = KeyboardWindow::create(Screen::main().bounds());
        _view = KeyboardView::create(hiddenFrame());
        _window->addSubview(_view);
    }
    // Created on first show, so it lands in front of the app's window.
    Window::putOnScreen(_window);
    _window->setFrame(Screen::main().bounds());
}

void Keyboard::show()
{
    if (_visible)
        return;
    _visible = true;
    auto generation = ++_generation;
    ensureWindow();
    _window->setHidden(false);
    Rect begin = _view->presentationFrame();
    if (!_view->hasRunningAnimations())
        begin = hiddenFrame();
    Rect end = shownFrame();
    _view->setFrame(begin);

    auto& center = NotificationCenter::defaultCenter();
    center.post(KeyboardWillChangeFrameNotification, nullptr, frameInfo(begin, end));
    center.post(KeyboardWillShowNotification, nullptr, frameInfo(begin, end));
    View::animate(
        kAnimationDuration, [&] { _view->setFrame(end); },
        [this, generation, begin, end](bool) {
            if (generation != _generation)
                return;
            auto& c = NotificationCenter::defaultCenter();
            c.post(KeyboardDidChangeFrameNotification, nullptr, frameInfo(begin, end));
            c.post(KeyboardDidShowNotification, nullptr, frameInfo(begin, end));
        });
}

void Keyboard::hide()
{
    if (!_visible)
        return;
    _visible = false;
    auto generation = ++_generation;
    Rect begin = _view ? _view->presentationFrame() : shownFrame();
    Rect end = hiddenFrame();

    auto& center = NotificationCenter::defaultCenter();
    center.post(KeyboardWillChangeFrameNotification, nullptr, frameInfo(begin, end));
    center.post(KeyboardWillHideNotification, nullptr, frameInfo(begin, end));
    View::animate(
        kAnimationDuration,
        [&] {
            if (_view)
                _view->setFrame(end);
        },
        [this, generation, begin, end](bool) {
            if (generation != _generation)
                return;
            if (_window)
                _window->setHidden(true);
            auto& c = NotificationCenter::defaultCenter();
            c.post(KeyboardDidChangeFrameNotification, nullptr, frameInfo(begin, end));
            c.post(KeyboardDidHideNotification, nullptr, frameInfo(begin, end));
        });
}

void Keyboard::reset()
{
    ++_generation;
    _visible = false;
    if (_window)
        _window->takeOffScreen();
    _window.reset();
    _view.reset();
}

} // namespace vq
