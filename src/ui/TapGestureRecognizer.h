#pragma once

#include "ui/GestureRecognizer.h"

#include <functional>
#include <memory>

namespace vq {

// Recognises taps: touches that end within kMaxMovement of where they began,
// numberOfTapsRequired of them in a row.
class TapGestureRecognizer : public GestureRecognizer {
public:
    using Action = std::function<void(TapGestureRecognizer&)>;

    static constexpr double kMaxMovement = 10;
    // The longest pause between the taps of a multiple tap.
    static constexpr double kMaxTapInterval = 0.35;

    static std::shared_ptr<TapGestureRecognizer> create(Action action);
    explicit TapGestureRecognizer(Action action = {}) : _action(std::move(action)) {}

    void setAction(Action action) { _action = std::move(action); }
    int numberOfTapsRequired() const { return _tapsRequired; }
    void setNumberOfTapsRequired(int taps) { _tapsRequired = taps < 1 ? 1 : taps; }

    // Where the last tap ended, in the given view's coordinates (nullptr: the window).
    Point locationInView(const View* view) const;

    void touchesBegan(const Touch& touch) override;
    void touchesMoved(const Touch& touch) override;
    void touchesEnded(const Touch& touch) override;
    void touchesCancelled(const Touch& touch) override;
    bool didRecognize() const override { return _recognized; }

private:
    bool movedTooFar(const Touch& touch) const;

    Action _action;
    int _tapsRequired = 1;
    int _tapCount = 0;
    bool _tracking = false;
    bool _recognized = false;
    Point _firstTapLocation;
    double _lastTapEnd = 0;
    Point _location;
};

} // namespace vq
