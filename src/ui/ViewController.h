#pragma once

#include "ui/Responder.h"

#include <functional>
#include <memory>

namespace vq {

class View;
class Window;

// Owns one root view, loaded lazily; presents and dismisses other
// controllers modally (the presented view covers the presenter's window).
class ViewController : public Responder {
public:
    static std::shared_ptr<ViewController> create();
    ~ViewController() override;

    std::shared_ptr<ViewController> self() { return std::static_pointer_cast<ViewController>(shared_from_this()); }
    virtual const char* className() const { return "ViewController"; }

    // Loads the view on first use: loadView, then viewDidLoad.
    std::shared_ptr<View> view();
    bool isViewLoaded() const { return _view != nullptr; }
    void setView(std::shared_ptr<View> view);

    virtual void loadView();   // a plain view the size of the screen
    virtual void viewDidLoad() {}
    virtual void didReceiveMemoryWarning() {}

    void presentViewController(const std::shared_ptr<ViewController>& controller, bool animated,
                               std::function<void()> completion = {});
    // Dismisses what this controller presented (or, when it presents
    // nothing, itself from its presenter).
    void dismissViewController(bool animated, std::function<void()> completion = {});
    std::shared_ptr<ViewController> presentedViewController() const { return _presented; }
    std::shared_ptr<ViewController> presentingViewController() const { return _presenting.lock(); }

    // The root view's superview.
    std::shared_ptr<Responder> nextResponder() const override;

protected:
    // Made only through create() (here and in every subclass), so each one is
    // owned by a shared_ptr and self() always works.
    ViewController();

private:
    std::shared_ptr<View> _view;
    std::shared_ptr<ViewController> _presented;
    std::weak_ptr<ViewController> _presenting;
};

} // namespace vq
