#pragma once

#include "ui/View.h"

#include <memory>

namespace vq::test {

// One finger driven by hand, as the application's dispatcher would: the view
// hit at touch-down gets every phase of the touch, in window coordinates
// (a root view without superview stands in for the window).
class Finger {
public:
    Finger(const std::shared_ptr<View>& root, Point p, double time = 0) : _target(root->hitTest(p))
    {
        _touch.phase = Touch::Phase::Began;
        _touch.locationInWindow = _touch.previousLocationInWindow = _touch.startLocationInWindow = p;
        _touch.timestamp = time;
        if (_target)
            _target->touchesBegan(_touch);
    }

    const std::shared_ptr<View>& target() const { return _target; }

    Finger& moveTo(Point p, double time = 0)
    {
        step(Touch::Phase::Moved, p, time);
        if (_target)
            _target->touchesMoved(_touch);
        return *this;
    }
    // Moves in n equal steps, as a real drag reports.
    Finger& dragTo(Point p, int steps = 5)
    {
        Point from = _touch.locationInWindow;
        for (int i = 1; i <= steps; ++i)
            moveTo({from.x + (p.x - from.x) * i / steps, from.y + (p.y - from.y) * i / steps}, _touch.timestamp);
        return *this;
    }
    void liftAt(Point p, double time = 0)
    {
        step(Touch::Phase::Ended, p, time);
        if (_target)
            _target->touchesEnded(_touch);
    }
    void lift() { liftAt(_touch.locationInWindow, _touch.timestamp); }
    void cancel()
    {
        step(Touch::Phase::Cancelled, _touch.locationInWindow, _touch.timestamp);
        if (_target)
            _target->touchesCancelled(_touch);
    }

    const Touch& touch() const { return _touch; }

private:
    void step(Touch::Phase phase, Point p, double time)
    {
        _touch.phase = phase;
        _touch.previousLocationInWindow = _touch.locationInWindow;
        _touch.locationInWindow = p;
        if (time > 0)
            _touch.timestamp = time;
    }

    std::shared_ptr<View> _target;
    Touch _touch;
};

// A tap at p through hit testing.
inline std::shared_ptr<View> tap(const std::shared_ptr<View>& root, Point p)
{
    Finger f(root, p);
    f.lift();
    return f.target();
}

} // namespace vq::test
