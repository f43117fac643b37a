#pragma once

#include "core/Geometry.h"

#include <memory>
#include <vector>

namespace vq {

class View;
class Window;

// Where views are on the screen, as a finger would reach them.
namespace screen_geometry {

// The view's bounds on the screen (the bounding box when transformed).
Rect screenRect(const View& view);
// The part of the view that is on screen: clipped by every clipping
// ancestor, its window and the screen. Empty when nothing shows.
Rect visibleScreenRect(const View& view);
// Not hidden and not transparent, itself and every ancestor up to its window.
bool isShown(const View& view);
// The view a touch at that screen point lands on, front window first, as
// the application hit-tests it.
std::shared_ptr<View> hitTest(Point screenPoint);

// The application's windows as they are stacked: lowest level first, later
// windows above earlier ones within a level.
std::vector<std::shared_ptr<Window>> windowsBackToFront();

} // namespace screen_geometry

} // namespace vq
