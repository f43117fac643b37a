#include "artwork/Paint.h"

#include "options/StyleCatalogue.h"

#include <pango/pangocairo.h>

#include <cmath>
#include <memory>
#include <string>

namespace vq::artwork {

Rgb rgb255(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0}; }

Rgb swatch(int n)
{
    auto c = StyleCatalogue::paletteRgb(n);
    return c ? rgb255(c->red, c->green, c->blue) : Rgb{0.5, 0.5, 0.5};
}

Rgb hue(int row, int column) { return swatch(row * StyleCatalogue::swatchesPerRow + column); }

Rgb mix(Rgb a, Rgb b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

void setColor(cairo_t* cr, Rgb c, double alpha) { cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha); }

void addColorStop(cairo_pattern_t* p, double offset, Rgb c, double alpha)
{
    cairo_pattern_add_color_stop_rgba(p, offset, c.r, c.g, c.b, alpha);
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double radius)
{
    radius = std::min({radius, w / 2, h / 2});
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - radius, y + radius, radius, -M_PI / 2, 0);
    cairo_arc(cr, x + w - radius, y + h - radius, radius, 0, M_PI / 2);
    cairo_arc(cr, x + radius, y + h - radius, radius, M_PI / 2, M_PI);
    cairo_arc(cr, x + radius, y + radius, radius, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

void circle(cairo_t* cr, double cx, double cy, double radius)
{
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, radius, 0, 2 * M_PI);
    cairo_close_path(cr);
}

void heart(cairo_t* cr, double cx, double cy, double size)
{
    double s = size / 2;
    cairo_new_sub_path(cr);
    cairo_move_to(cr, cx, cy + 0.9 * s);
    cairo_curve_to(cr, cx - 1.1 * s, cy + 0.1 * s, cx - 1.0 * s, cy - 0.95 * s, cx, cy - 0.45 * s);
    cairo_curve_to(cr, cx + 1.0 * s, cy - 0.95 * s, cx + 1.1 * s, cy + 0.1 * s, cx, cy + 0.9 * s);
    cairo_close_path(cr);
}

void star(cairo_t* cr, double cx, double cy, double outer, double inner, int points, double rotation)
{
    cairo_new_sub_path(cr);
    for (int i = 0; i < 2 * points; ++i) {
        double radius = i % 2 ? inner : outer;
        double a = rotation - M_PI / 2 + i * M_PI / points;
        double x = cx + radius * std::cos(a), y = cy + radius * std::sin(a);
        if (i == 0)
            cairo_move_to(cr, x, y);
        else
            cairo_line_to(cr, x, y);
    }
    cairo_close_path(cr);
}

void drawCentredText(cairo_t* cr, std::string_view text, const TextStyle& style, Rgb colour, double cx, double cy,
                     double alpha)
{
    std::unique_ptr<PangoLayout, decltype(&g_object_unref)> layout(pango_cairo_create_layout(cr), g_object_unref);
    // Unhinted metrics: the same layout at every scale, so thumbnails and contact sheets match.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(pango_layout_get_context(layout.get()), options);
    cairo_font_options_destroy(options);
    pango_layout_context_changed(layout.get());

    std::unique_ptr<PangoFontDescription, decltype(&pango_font_description_free)> desc(pango_font_description_new(),
                                                                                        pango_font_description_free);
    pango_font_description_set_family(desc.get(), style.family);
    pango_font_description_set_absolute_size(desc.get(), style.size * PANGO_SCALE);
    pango_font_description_set_weight(desc.get(), style.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(desc.get(), style.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_layout_set_font_description(layout.get(), desc.get());
    pango_layout_set_text(layout.get(), text.data(), static_cast<int>(text.size()));

    // Centre the ink, not the line box: icons built from glyphs sit where they look centred.
    PangoRectangle ink, logical;
    pango_layout_get_extents(layout.get(), &ink, &logical);
    double x = cx - (ink.x + ink.width / 2.0) / PANGO_SCALE;
    double y = cy - (ink.y + ink.height / 2.0) / PANGO_SCALE;
    cairo_save(cr);
    setColor(cr, colour, alpha);
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, layout.get());
    cairo_restore(cr);
}

void releaseFontCaches()
{
    // Only the font map: resetting cairo's static data too asserts when pango's
    // font-loading thread still holds a scaled font at exit.
    pango_cairo_font_map_set_default(nullptr);
}

std::uint64_t Random::next()
{
    // splitmix64
    std::uint64_t z = (_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Random::uniform(double low, double high)
{
    return low + (high - low) * static_cast<double>(next() >> 11) / static_cast<double>(1ull << 53);
}

int Random::below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }

} // namespace vq::artwork
