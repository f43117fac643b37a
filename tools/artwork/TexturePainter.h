#pragma once

#include <cairo.h>

#include <string>

namespace vq::artwork {

// The 90 background textures. Each grid row of six is one pattern in six
// hues; 1-42 are the soft patterns, 43-90 the playful ones. A texture is
// drawn in a square of any size, so its thumbnail is the same picture.
class TexturePainter {
public:
    static constexpr int patternCount = 15;

    // Paints texture n (1..90) over (0, 0, side, side) in user space.
    static void paint(cairo_t* cr, int n, double side);
    static std::string patternName(int n);
};

} // namespace vq::artwork
