#pragma once

#include "core/Geometry.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vq {

class GraphicsContext;
class Image;
class View;
class Window;

// Draws a view and its subviews as they are on screen now (animated values
// interpolated): background, rounded clipping, content, subviews, border,
// alpha, transforms, scroll offsets. The view's own frame origin is ignored:
// its bounds are drawn at (0, 0).
void drawViewTree(GraphicsContext& context, View& view);

// A view's layer rendered into a new image of size points at scale (as
// rendering a layer into an image context does).
std::shared_ptr<Image> renderView(View& view, Size size, double scale);
// The same picture as a JPEG at quality (0 to 1), drawn a band of rows at a time, so
// the whole bitmap is never in memory: for a picture that is sent, not shown.
std::vector<std::uint8_t> renderViewAsJpeg(View& view, Size size, double scale, double quality);
// Windows drawn in order, each at its place on a screen of screenSize points.
std::shared_ptr<Image> renderWindows(const std::vector<std::shared_ptr<Window>>& windows, Size screenSize, double scale);

} // namespace vq
