#pragma once

#include "core/Owned.h"

#include <cairo.h>

namespace vq {

using CairoContext = Owned<cairo_t, cairo_destroy>;
using CairoSurface = Owned<cairo_surface_t, cairo_surface_destroy>;
using CairoPattern = Owned<cairo_pattern_t, cairo_pattern_destroy>;
using CairoFontOptions = Owned<cairo_font_options_t, cairo_font_options_destroy>;

// Saves the drawing state and restores it when the scope ends, whichever way
// it ends.
class CairoSavedState {
public:
    explicit CairoSavedState(cairo_t* cr) : _cr(cr) { cairo_save(_cr); }
    ~CairoSavedState() { cairo_restore(_cr); }
    CairoSavedState(const CairoSavedState&) = delete;
    CairoSavedState& operator=(const CairoSavedState&) = delete;

private:
    cairo_t* _cr;
};

} // namespace vq
