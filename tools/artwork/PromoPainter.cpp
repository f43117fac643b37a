#include "artwork/PromoPainter.h"

#include "artwork/Paint.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

namespace vq::artwork {

namespace {

std::uint64_t hashOf(std::string_view key)
{
    std::uint64_t h = 1469598103934665603ull; // FNV-1a
    for (unsigned char c : key)
        h = (h ^ c) * 1099511628211ull;
    return h;
}

// Two palette colours that sit well together: a row's light and deep swatch.
struct Scheme {
    Rgb light, deep, accent;
};

bool greyish(Rgb c) { return std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b}) < 0.12; }

Scheme schemeFor(std::string_view key)
{
    Random random(hashOf(key));
    int row = random.below(11);
    // Grey rows make dull promotions; step to the next coloured one.
    for (int tries = 0; tries < 11 && greyish(hue(row, 5)); ++tries)
        row = (row + 1) % 11;
    int accentRow = (row + 3 + random.below(5)) % 11;
    for (int tries = 0; tries < 11 && (greyish(hue(accentRow, 3)) || accentRow == row); ++tries)
        accentRow = (accentRow + 1) % 11;
    return {hue(row, 2), hue(row, 5), hue(accentRow, 3)};
}

std::string initialOf(std::string_view title)
{
    if (title.empty())
        return "?";
    auto c = static_cast<unsigned char>(title[0]);
    std::size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    return std::string(title.substr(0, std::min(length, title.size())));
}

void motif(cairo_t* cr, int kind, double cx, double cy, double size)
{
    switch (kind) {
    case 0: heart(cr, cx, cy, size); break;
    case 1: star(cr, cx, cy, size / 2, size / 4.5, 5, -M_PI / 2); break;
    case 2: circle(cr, cx, cy, size / 2); break;
    default: star(cr, cx, cy, size / 2, size / 3.2, 8, 0); break;
    }
}

} // namespace

void PromoPainter::appIcon(cairo_t* cr, double side, std::string_view key, std::string_view title)
{
    Scheme scheme = schemeFor(key);
    Random random(hashOf(key) ^ 0x5151);
    double radius = side * 0.22;

    cairo_save(cr);
    roundedRect(cr, 0, 0, side, side, radius);
    cairo_clip(cr);
    cairo_pattern_t* fill = cairo_pattern_create_linear(0, 0, side, side);
    addColorStop(fill, 0, scheme.light);
    addColorStop(fill, 1, scheme.deep);
    cairo_set_source(cr, fill);
    cairo_paint(cr);
    cairo_pattern_destroy(fill);

    // Soft bubbles behind the motif.
    for (int i = 0; i < 6; ++i) {
        circle(cr, random.uniform(0, side), random.uniform(0, side), random.uniform(side * 0.08, side * 0.3));
        setColor(cr, {1, 1, 1}, random.uniform(0.06, 0.16));
        cairo_fill(cr);
    }
    int kind = random.below(4);
    motif(cr, kind, side * 0.5, side * 0.44, side * 0.58);
    setColor(cr, scheme.accent, 0.95);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, side * 0.02);
    setColor(cr, {1, 1, 1}, 0.9);
    cairo_stroke(cr);

    drawCentredText(cr, initialOf(title), {"DejaVu Sans", side * 0.3, true, false}, {1, 1, 1}, side * 0.5, side * 0.44);

    // The glassy shine across the top half.
    cairo_pattern_t* shine = cairo_pattern_create_linear(0, 0, 0, side * 0.55);
    cairo_pattern_add_color_stop_rgba(shine, 0, 1, 1, 1, 0.35);
    cairo_pattern_add_color_stop_rgba(shine, 1, 1, 1, 1, 0.0);
    cairo_rectangle(cr, 0, 0, side, side * 0.55);
    cairo_set_source(cr, shine);
    cairo_fill(cr);
    cairo_pattern_destroy(shine);
    cairo_restore(cr);
}

void PromoPainter::adPicture(cairo_t* cr, double width, double height, std::string_view key, std::string_view title)
{
    Scheme scheme = schemeFor(key);
    Random random(hashOf(key) ^ 0xad);
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, height);
    addColorStop(sky, 0, mix(scheme.light, {1, 1, 1}, 0.35));
    addColorStop(sky, 1, scheme.deep);
    cairo_rectangle(cr, 0, 0, width, height);
    cairo_set_source(cr, sky);
    cairo_fill(cr);
    cairo_pattern_destroy(sky);

    // Rays from behind the icon.
    double cx = width / 2, cy = height * 0.42;
    cairo_save(cr);
    for (int i = 0; i < 16; i += 2) {
        double a0 = i * M_PI / 8, a1 = (i + 1) * M_PI / 8;
        cairo_move_to(cr, cx, cy);
        cairo_line_to(cr, cx + std::cos(a0) * width * 1.5, cy + std::sin(a0) * width * 1.5);
        cairo_line_to(cr, cx + std::cos(a1) * width * 1.5, cy + std::sin(a1) * width * 1.5);
        cairo_close_path(cr);
    }
    setColor(cr, {1, 1, 1}, 0.12);
    cairo_fill(cr);
    cairo_restore(cr);

    // Scattered sparkles.
    for (int i = 0; i < 18; ++i) {
        double size = random.uniform(4, 12) * width / 280;
        star(cr, random.uniform(0, width), random.uniform(0, height), size, size / 3, 4, 0);
        setColor(cr, {1, 1, 1}, random.uniform(0.4, 0.85));
        cairo_fill(cr);
    }

    double side = std::min(width, height) * 0.42;
    cairo_save(cr);
    cairo_translate(cr, cx - side / 2, cy - side / 2);
    // A drop shadow under the icon.
    roundedRect(cr, side * 0.03, side * 0.06, side, side, side * 0.22);
    setColor(cr, {0, 0, 0}, 0.25);
    cairo_fill(cr);
    appIcon(cr, side, key, title);
    cairo_restore(cr);

    double textSize = std::max(10.0, width / 14);
    std::string line(title.empty() ? "New from Velvet Quill" : title);
    drawCentredText(cr, line, {"DejaVu Sans", textSize, true, false}, {0, 0, 0}, cx + 1, height * 0.8 + 1.5, 0.3);
    drawCentredText(cr, line, {"DejaVu Sans", textSize, true, false}, {1, 1, 1}, cx, height * 0.8);
    drawCentredText(cr, "Free on the store", {"DejaVu Sans", textSize * 0.55, false, true}, {1, 1, 1}, cx,
                    height * 0.8 + textSize * 1.2, 0.9);
}

void PromoPainter::banner(cairo_t* cr, double width, double height, std::string_view unit, bool test)
{
    Scheme scheme = schemeFor(unit);
    cairo_pattern_t* fill = cairo_pattern_create_linear(0, 0, width, 0);
    addColorStop(fill, 0, scheme.deep);
    addColorStop(fill, 1, scheme.light);
    cairo_rectangle(cr, 0, 0, width, height);
    cairo_set_source(cr, fill);
    cairo_fill(cr);
    cairo_pattern_destroy(fill);

    double side = height * 0.8;
    cairo_save(cr);
    cairo_translate(cr, height * 0.1, height * 0.1);
    appIcon(cr, side, unit, "Q");
    cairo_restore(cr);
    double textLeft = height;
    double textCentre = textLeft + (width - textLeft) / 2;
    // Sized to fit the strip: bold DejaVu runs about 0.68 em per character.
    const std::string headline = "Style your messages with Velvet Quill";
    const std::string caption = test ? "Test ad - " + std::string(unit) : std::string(unit);
    double room = std::max(1.0, (width - textLeft) * 0.92);
    double headSize = std::min(height * 0.26, room / (0.68 * static_cast<double>(headline.size())));
    double captionSize = std::min(height * 0.2, room / (0.6 * static_cast<double>(std::max<std::size_t>(caption.size(), 1))));
    drawCentredText(cr, headline, {"DejaVu Sans", headSize, true, false}, {1, 1, 1}, textCentre, height * 0.38);
    drawCentredText(cr, caption, {"DejaVu Sans", captionSize, false, true}, {1, 1, 1}, textCentre, height * 0.72, 0.85);
    if (test) {
        cairo_set_line_width(cr, 2);
        cairo_rectangle(cr, 1, 1, width - 2, height - 2);
        setColor(cr, {1, 0.85, 0.2});
        cairo_stroke(cr);
    }
}

std::string PromoPainter::encode(cairo_surface_t* surface)
{
    std::string out;
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
        return out;
    auto write = [](void* closure, const unsigned char* data, unsigned int length) {
        static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
        return CAIRO_STATUS_SUCCESS;
    };
    if (cairo_surface_write_to_png_stream(surface, write, &out) != CAIRO_STATUS_SUCCESS)
        out.clear();
    return out;
}

} // namespace vq::artwork
