#include "ui/TapGestureRecognizer.h"

#include "ui/View.h"

#include <cmath>

namespace vq {

std::shared_ptr<TapGestureRecognizer> TapGestureRecognizer::create(Action action)
{
    return std::make_shared<TapGestureRecognizer>(std::move(action));
}

Point TapGestureRecognizer::locationInView(const View* v) const
{
    return v ? v->convertPointFrom(_location, nullptr) : _location;
}

bool TapGestureRecognizer::movedTooFar(const Touch& touch) const
{
    Point a = touch.startLocationInWindow, b = touch.locationInWindow;
    return std::hypot(b.x - a.x, b.y - a.y) > kMaxMovement;
}

void TapGestureRecognizer::touchesBegan(const Touch& touch)
{
    _recognized = false;
    if (!isEnabled()) {
        _tracking = false;
        return;
    }
    Point p = touch.locationInWindow;
    bool continues = _tapCount > 0 && touch.timestamp - _lastTapEnd <= kMaxTapInterval
                     && std::hypot(p.x - _firstTapLocation.x, p.y - _firstTapLocation.y) <= kMaxMovement;
    if (!continues) {
        _tapCount = 0;
        _firstTapLocation = p;
    }
    _tracking = true;
}

void TapGestureRecognizer::touchesMoved(const Touch& touch)
{
    if (_tracking && movedTooFar(touch)) {
        _tracking = false;
        _tapCount = 0;
    }
}

void TapGestureRecognizer::touchesEnded(const Touch& touch)
{
    if (!_tracking)
        return;
    _tracking = false;
    if (movedTooFar(touch)) {
        _tapCount = 0;
        return;
    }
    _lastTapEnd = touch.timestamp;
    if (++_tapCount < _tapsRequired)
        return;
    _tapCount = 0;
    _recognized = true;
    _location = touch.locationInWindow;
    if (_action)
        _action(*this);
}

void TapGestureRecognizer::touchesCancelled(const Touch&)
{
    _tracking = false;
    _tapCount = 0;
}

} // namespace vq
