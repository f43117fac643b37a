#pragma once

#include <cairo.h>

#include <string>

namespace vq::artwork {

// The editor's and the options panel's furniture. Every operation paints in
// points over (0, 0, width, height).
class ChromePainter {
public:
    static void bar(cairo_t* cr, double width, double height);
    static void panelBackground(cairo_t* cr, double width, double height, bool tablet);
    static void clearButton(cairo_t* cr, double width, double height);
    static void randomButton(cairo_t* cr, double width, double height);
    // tab is "text", "color", "texture" or "font".
    static void tabButton(cairo_t* cr, const std::string& tab, bool selected, double width, double height);
    static void selectionMark(cairo_t* cr, double side);
};

} // namespace vq::artwork
