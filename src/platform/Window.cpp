#include "platform/Window.h"

#include "platform/Application.h"
#include "platform/ViewController.h"

namespace vq {

std::shared_ptr<Window> Window::create(Rect frame)
{
    auto window = std::shared_ptr<Window>(new Window(frame));
    Application::shared().addWindow(window);
    return window;
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

void Window::makeKeyWindow() { Application::shared().setKeyWindow(std::static_pointer_cast<Window>(self())); }

void Window::makeKeyAndVisible()
{
    setHidden(false);
    makeKeyWindow();
}

bool Window::isKeyWindow() const { return Application::shared().keyWindow().get() == this; }

} // namespace vq
