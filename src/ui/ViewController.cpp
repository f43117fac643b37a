#include "ui/ViewController.h"

#include "core/Log.h"
#include "graphics/Screen.h"
#include "ui/View.h"
#include "ui/Window.h"

namespace vq {

namespace {

constexpr double kPresentDuration = 0.3;

} // namespace

std::shared_ptr<ViewController> ViewController::create() { return std::shared_ptr<ViewController>(new ViewController()); }

ViewController::ViewController() = default;

ViewController::~ViewController() = default;

std::shared_ptr<View> ViewController::view()
{
    if (!_view) {
        loadView();
        if (!_view)
            setView(View::create(Screen::main().bounds()));
        viewDidLoad();
    }
    return _view;
}

void ViewController::setView(std::shared_ptr<View> view)
{
    if (_view && _view->_viewController.lock().get() == this)
        _view->_viewController.reset();
    _view = std::move(view);
    // Not self(): a view may be set up before the controller is owned by a shared_ptr.
    if (_view)
        _view->_viewController = std::static_pointer_cast<ViewController>(weak_from_this().lock());
}

void ViewController::loadView() { setView(View::create(Screen::main().bounds())); }

std::shared_ptr<Responder> ViewController::nextResponder() const
{
    return _view ? _view->superview() : nullptr;
}

void ViewController::presentViewController(const std::shared_ptr<ViewController>& controller, bool animated,
                                           std::function<void()> completion)
{
    if (!controller || controller.get() == this)
        return;
    if (_presented) {
        log("{} already presents {}; not presenting {}", className(), _presented->className(), controller->className());
        return;
    }
    auto window = isViewLoaded() ? _view->window() : nullptr;
    if (!window) {
        log("{} is not in a window; not presenting {}", className(), controller->className());
        return;
    }
    _presented = controller;
    controller->_presenting = self();

    auto view = controller->view();
    Rect bounds = window->bounds();
    window->addSubview(view);
    if (!animated) {
        view->setFrame(bounds);
        if (completion)
            completion();
        return;
    }
    // Slides up from below the window's bottom edge.
    view->setFrame(bounds.offsetBy(0, bounds.height()));
    View::animate(
        kPresentDuration, [&] { view->setFrame(bounds); },
        [completion = std::move(completion)](bool) {
            if (completion)
                completion();
        });
}

void ViewController::dismissViewController(bool animated, std::function<void()> completion)
{
    if (!_presented) {
        if (auto presenter = presentingViewController())
            presenter->dismissViewController(animated, std::move(completion));
        return;
    }
    // Everything above this controller goes; only the topmost slides away.
    std::vector<std::shared_ptr<ViewController>> chain;
    for (auto c = _presented; c; c = c->_presented)
        chain.push_back(c);
    for (auto& c : chain) {
        c->_presenting.reset();
        c->_presented.reset();
    }
    _presented.reset();
    auto top = chain.back();
    for (auto& c : chain)
        if (c != top && c->isViewLoaded())
            c->_view->removeFromSuperview();

    auto topView = top->isViewLoaded() ? top->_view : nullptr;
    auto window = topView ? topView->window() : nullptr;
    if (!animated || !window) {
        if (topView)
            topView->removeFromSuperview();
        if (completion)
            completion();
        return;
    }
    Rect below = window->bounds().offsetBy(0, window->bounds().height());
    View::animate(
        kPresentDuration, [&] { topView->setFrame(below); },
        [top, topView, completion = std::move(completion)](bool) {
            // Still ours unless something re-presented the view meanwhile.
            if (!top->presentingViewController())
                topView->removeFromSuperview();
            if (completion)
                completion();
        });
}

} // namespace vq
