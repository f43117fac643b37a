#include "ui/Window.h"

#include "ui/ViewController.h"

#include <algorithm>

namespace vq {

namespace {

struct ScreenWindows {
    std::vector<std::shared_ptr<Window>> windows;
    std::weak_ptr<Window> key;
};

ScreenWindows& screenWindows()
{
    static ScreenWindows state;
    return state;
}

} // namespace

std::shared_ptr<Window> Window::create(Rect frame)
{
    auto window = std::shared_ptr<Window>(new Window(frame));
    putOnScreen(window);
    return window;
}

const std::vector<std::shared_ptr<Window>>& Window::onScreen() { return screenWindows().windows; }

std::shared_ptr<Window> Window::keyWindow() { return screenWindows().key.lock(); }

void Window::putOnScreen(const std::shared_ptr<Window>& window)
{
    auto& windows = screenWindows().windows;
    if (!window || std::find(windows.begin(), windows.end(), window) != windows.end())
        return;
    windows.push_back(window);
}

void Window::takeOffScreen() const
{
    std::erase_if(screenWindows().windows, [&](const std::shared_ptr<Window>& w) { return w.get() == this; });
}

void Window::clearScreenForTests()
{
    screenWindows().windows.clear();
    screenWindows().key.reset();
}

Window::Window(Rect frame) : View(frame) {}

Window::~Window() = default;

void Window::setWindowLevel(WindowLevel level)
{
    _level = level;
    setNeedsDisplay();
}

void Window::setRootViewController(std::shared_ptr<ViewController> controller)
{
    if (controller == _rootViewController)
        return;
    if (_rootViewController && _rootViewController->isViewLoaded()) {
        auto old = _rootViewController->view();
        if (old->superview().get() == this)
            old->removeFromSuperview();
    }
    _rootViewController = std::move(controller);
    if (!_rootViewController)
        return;
    auto view = _rootViewController->view();
    view->setFrame(bounds());
    // The root view is the window's only content.
    for (const auto& child : std::vector(subviews()))
        if (child != view)
            child->removeFromSuperview();
    insertSubview(view, 0);
}

void Window::makeKeyWindow() { screenWindows().key = std::static_pointer_cast<Window>(self()); }

void Window::makeKeyAndVisible()
{
    setHidden(false);
    makeKeyWindow();
}

bool Window::isKeyWindow() const { return keyWindow().get() == this; }

} // namespace vq
