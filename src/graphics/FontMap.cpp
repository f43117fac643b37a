#include "graphics/FontMap.h"

#include "graphics/CairoOwners.h"
#include "graphics/FontConfig.h"

#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

namespace vq {

PangoFontMap* FontMap::fontMap()
{
    // Fontconfig-backed, so the fonts are the ones fontconfig lists, through the
    // same configuration the font list is read with.
    static PangoFontMap* map = [] {
        PangoFontMap* m = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
        pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(m), FontConfig::shared()); // it keeps a reference
        return m;
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
