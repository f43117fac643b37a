#include "graphics/Screen.h"

namespace vq {

Screen& Screen::main()
{
    static Screen screen;
    return screen;
}

Rect Screen::applicationFrame() const
{
    Rect b = bounds();
    if (_statusBarHidden)
        return b;
    return {b.x(), b.y() + kStatusBarHeight, b.width(), b.height() - kStatusBarHeight};
}

void Screen::setMode(Size points, double scale, Size pixels)
{
    _size = points;
    _scale = scale;
    _currentMode = pixels;
}

} // namespace vq
