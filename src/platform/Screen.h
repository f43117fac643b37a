#pragma once

#include "platform/Geometry.h"

namespace vq {

// The device's screen, as the current device profile describes it.
class Screen {
public:
    static Screen& main();

    Rect bounds() const;             // points
    // The bounds minus the 20-point status bar at the top while it is visible.
    Rect applicationFrame() const;
    double scale() const;
    Size currentMode() const;        // pixels

    static constexpr double kStatusBarHeight = 20;

private:
    Screen() = default;
};

} // namespace vq
