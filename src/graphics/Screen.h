#pragma once

#include "core/Geometry.h"

namespace vq {

// The screen the app draws for: its size, scale and status bar. The device
// profile sets the size and scale; the phone's until one does.
class Screen {
public:
    static Screen& main();

    Rect bounds() const { return {{0, 0}, _size}; } // points
    // The bounds minus the 20-point status bar at the top while it is visible.
    Rect applicationFrame() const;
    double scale() const { return _scale; }
    Size currentMode() const { return _currentMode; } // pixels

    void setMode(Size points, double scale, Size pixels);
    bool isStatusBarHidden() const { return _statusBarHidden; }
    void setStatusBarHidden(bool hidden) { _statusBarHidden = hidden; }

    static constexpr double kStatusBarHeight = 20;

private:
    Screen() = default;
    Size _size{320, 480};
    double _scale = 2;
    Size _currentMode{640, 960};
    bool _statusBarHidden = false;
};

} // namespace vq
