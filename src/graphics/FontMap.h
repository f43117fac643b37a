#pragma once

typedef struct _PangoContext PangoContext;
typedef struct _PangoFontMap PangoFontMap;

namespace vq {

// The one Pango font map of the process and a context on it, shared by
// measuring and drawing so both see the same fonts and metrics. Main thread only.
class FontMap {
public:
    static PangoFontMap* fontMap();
    // Unhinted metrics and unrounded glyph positions, so a layout measured here
    // is laid out the same whatever scale it is later drawn at.
    static PangoContext* context();
};

} // namespace vq
