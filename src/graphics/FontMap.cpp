#include "graphics/FontMap.h"

#include "graphics/CairoOwners.h"
#include "graphics/FontConfig.h"

#include <pango/pangocairo.h>

namespace vq {

PangoFontMap* FontMap::fontMap()
{
    // Fontconfig-backed, through the configuration the font list is read with. A font map
    // without one of its own reads fontconfig's current configuration, which loading ours
    // made current; attaching it explicitly would have Pango list every installed family
    // there and then, about a tenth of a launch's instructions.
    static PangoFontMap* map = [] {
        FontConfig::shared();
        return pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
    }();
    return map;
}

PangoContext* FontMap::context()
{
    static PangoContext* ctx = [] {
        PangoContext* c = pango_font_map_create_context(fontMap());
        CairoFontOptions options(cairo_font_options_create());
        cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
        pango_cairo_context_set_font_options(c, options.get()); // it keeps a copy
        pango_context_set_round_glyph_positions(c, FALSE);
        pango_context_set_language(c, pango_language_from_string("en-us"));
        return c;
    }();
    return ctx;
}

} // namespace vq
