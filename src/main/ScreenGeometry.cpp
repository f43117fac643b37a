#include "main/ScreenGeometry.h"

#include "graphics/Screen.h"
#include "system/Application.h"
#include "ui/Window.h"

#include <algorithm>

namespace vq::screen_geometry {

namespace {

// Touches ignore views below this alpha, so they are not reachable.
constexpr float kMinimumAlpha = 0.01f;

Rect windowRectToScreen(const Window& window, Rect r)
{
    Point corners[4] = {{r.minX(), r.minY()}, {r.maxX(), r.minY()}, {r.minX(), r.maxY()}, {r.maxX(), r.maxY()}};
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    for (int i = 0; i < 4; ++i) {
        Point p = window.pointToSuperview(corners[i]);
        if (i == 0 || p.x < x0)
            x0 = p.x;
        if (i == 0 || p.y < y0)
            y0 = p.y;
        if (i == 0 || p.x > x1)
            x1 = p.x;
        if (i == 0 || p.y > y1)
            y1 = p.y;
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

} // namespace

std::shared_ptr<View> hitTest(Point screenPoint)
{
    for (const auto& window : Application::shared().windowsFrontToBack())
        if (auto hit = window->hitTest(window->pointFromSuperview(screenPoint)))
            return hit;
    return nullptr;
}

Rect screenRect(const View& view)
{
    const Window* window = view.isWindow() ? static_cast<const Window*>(&view) : nullptr;
    std::shared_ptr<Window> owner;
    if (!window) {
        owner = view.window();
        window = owner.get();
    }
    if (!window)
        return {};
    return windowRectToScreen(*window, view.convertRectTo(view.bounds(), nullptr));
}

Rect visibleScreenRect(const View& view)
{
    if (!isShown(view))
        return {};
    Rect visible = screenRect(view);
    for (auto v = view.superview(); v; v = v->superview())
        if (v->clipsToBounds() || v->isWindow())
            visible = visible.intersection(screenRect(*v));
    visible = visible.intersection(Screen::main().bounds());
    return visible.isEmpty() ? Rect{} : visible;
}

bool isShown(const View& view)
{
    const View* v = &view;
    std::shared_ptr<View> keep;
    while (v) {
        if (v->isHidden() || v->alpha() < kMinimumAlpha)
            return false;
        if (v->isWindow())
            return true;
        keep = v->superview();
        v = keep.get();
    }
    return false; // not in a window
}

std::vector<std::shared_ptr<Window>> windowsBackToFront()
{
    auto windows = Application::shared().windowsFrontToBack();
    std::reverse(windows.begin(), windows.end());
    return windows;
}

} // namespace vq::screen_geometry
