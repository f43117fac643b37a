#include "platform/Screen.h"

#include "platform/Application.h"
#include "platform/Device.h"

namespace vq {

Screen& Screen::main()
{
    static Screen screen;
    return screen;
}

Rect Screen::bounds() const { return {{0, 0}, Device::current().info().screenSize}; }

Rect Screen::applicationFrame() const
{
    Rect b = bounds();
    if (Application::shared().isStatusBarHidden())
        return b;
    return {b.x(), b.y() + kStatusBarHeight, b.width(), b.height() - kStatusBarHeight};
}

double Screen::scale() const { return Device::current().info().scale; }

Size Screen::currentMode() const { return Device::current().info().currentMode; }

} // namespace vq
