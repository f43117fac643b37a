#include "artwork/AppIconPainter.h"

#include "artwork/ArtworkCatalogue.h"
#include "artwork/Paint.h"

#include <fmt/format.h>

#include <system_error>

namespace vq::artwork {

namespace {

// The quill: a feather curving from its nib at the lower left to its top at
// the upper right, in a 1x1 box.
void feather(cairo_t* cr)
{
    cairo_move_to(cr, 0.08, 0.92);
    cairo_curve_to(cr, 0.22, 0.62, 0.46, 0.30, 0.94, 0.06);
    cairo_curve_to(cr, 0.80, 0.42, 0.56, 0.66, 0.20, 0.80);
    cairo_close_path(cr);
}

// Makes pattern the source, going from a to b; cairo keeps its own reference.
void setGradient(cairo_t* cr, cairo_pattern_t* pattern, Rgb a, Rgb b)
{
    addColorStop(pattern, 0, a);
    addColorStop(pattern, 1, b);
    cairo_set_source(cr, pattern);
    cairo_pattern_destroy(pattern);
}

} // namespace

void AppIconPainter::paint(cairo_t* cr, double side)
{
    const Rgb plum = rgb255(176, 44, 96), ink = rgb255(120, 60, 20);
    cairo_save(cr);
    cairo_scale(cr, side, side);

    // Velvet: a deep plum tile, lighter where the light falls.
    roundedRect(cr, 0.02, 0.02, 0.96, 0.96, 0.2);
    setGradient(cr, cairo_pattern_create_radial(0.35, 0.25, 0.05, 0.5, 0.5, 0.75), plum, rgb255(74, 18, 70));
    cairo_fill(cr);

    // The card, tilted a little over its shadow, with three lines of "text".
    cairo_save(cr);
    cairo_translate(cr, 0.45, 0.55);
    cairo_rotate(cr, -0.12);
    roundedRect(cr, -0.285, -0.215, 0.60, 0.48, 0.05);
    setColor(cr, rgb255(40, 0, 30), 0.35);
    cairo_fill(cr);
    roundedRect(cr, -0.30, -0.24, 0.60, 0.48, 0.05);
    setColor(cr, rgb255(255, 250, 240));
    cairo_fill(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 0.045);
    const double lineEnds[] = {0.16, 0.10, -0.02};
    for (int i = 0; i < 3; ++i) {
        cairo_move_to(cr, -0.2, -0.1 + i * 0.1);
        cairo_line_to(cr, lineEnds[i], -0.1 + i * 0.1);
    }
    setColor(cr, plum);
    cairo_stroke(cr);
    cairo_restore(cr);

    // The quill over the card's right edge, gold, with its shaft.
    cairo_save(cr);
    cairo_translate(cr, 0.36, 0.06);
    cairo_scale(cr, 0.6, 0.6);
    feather(cr);
    setGradient(cr, cairo_pattern_create_linear(0.1, 0.9, 0.9, 0.1), rgb255(255, 214, 120), rgb255(255, 244, 214));
    cairo_fill_preserve(cr);
    setColor(cr, ink, 0.6);
    cairo_set_line_width(cr, 0.02);
    cairo_stroke(cr);
    cairo_move_to(cr, 0.02, 0.98);
    cairo_curve_to(cr, 0.25, 0.65, 0.5, 0.4, 0.86, 0.14);
    cairo_set_line_width(cr, 0.025);
    setColor(cr, ink);
    cairo_stroke(cr);
    cairo_restore(cr);

    cairo_restore(cr);
}

std::optional<std::string> AppIconPainter::writeThemeIcons(const std::filesystem::path& dir)
{
    for (int side : sizes) {
        auto folder = dir / "hicolor" / fmt::format("{0}x{0}", side) / "apps";
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec)
            return fmt::format("cannot create {}: {}", folder.string(), ec.message());
        Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, side, side), cairo_surface_destroy);
        cairo_t* cr = cairo_create(surface.get());
        paint(cr, side);
        cairo_destroy(cr);
        if (auto error = ArtworkCatalogue::writePng(surface.get(), folder / "velvet-quill.png"))
            return error;
    }
    return std::nullopt;
}

} // namespace vq::artwork
