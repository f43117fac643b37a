#pragma once

#include "core/Geometry.h"

namespace vq {

// A mouse wheel turn over the screen: the innermost scrollable view under
// the point moves its content by delta points (positive shows what is
// further down or right), stopping at its ends. Returns whether one moved.
bool scrollWheelAt(Point screenPoint, Point delta);

} // namespace vq
