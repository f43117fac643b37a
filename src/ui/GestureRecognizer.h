#pragma once

#include "ui/Touch.h"

#include <memory>

namespace vq {

class View;

// Sees the touches of its view (and the view's subviews) before the view does.
class GestureRecognizer {
public:
    virtual ~GestureRecognizer() = default;

    std::shared_ptr<View> view() const { return _view.lock(); }
    bool isEnabled() const { return _enabled; }
    void setEnabled(bool enabled) { _enabled = enabled; }
    // When the gesture is recognised the hit view's touch is cancelled.
    bool cancelsTouchesInView() const { return _cancelsTouchesInView; }
    void setCancelsTouchesInView(bool cancels) { _cancelsTouchesInView = cancels; }

    virtual void touchesBegan(const Touch&) {}
    virtual void touchesMoved(const Touch&) {}
    virtual void touchesEnded(const Touch&) {}
    virtual void touchesCancelled(const Touch&) {}
    // True once the current touch sequence has been recognised.
    virtual bool didRecognize() const { return false; }

private:
    friend class View;
    std::weak_ptr<View> _view;
    bool _enabled = true;
    bool _cancelsTouchesInView = true;
};

} // namespace vq
