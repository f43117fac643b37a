#pragma once

#include "core/Geometry.h"

#include <memory>

namespace vq {

class View;
class Window;

// One finger (or the mouse) on the screen, in window coordinates.
struct Touch {
    enum class Phase { Began, Moved, Ended, Cancelled };

    Phase phase = Phase::Began;
    Point locationInWindow;
    Point previousLocationInWindow;
    Point startLocationInWindow;
    double timestamp = 0;
    std::weak_ptr<Window> window;

    Point locationIn(const View& view) const;
    Point previousLocationIn(const View& view) const;
};

} // namespace vq
