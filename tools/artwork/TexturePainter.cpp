#include "artwork/TexturePainter.h"

#include "artwork/Paint.h"

#include <array>
#include <cmath>

namespace vq::artwork {

namespace {

// Every painter draws in the unit square.
struct Look {
    int row;    // palette row 0..9: the hue
    int variant; // 0..5 within the pattern
    Random& random;

    Rgb c(int column) const { return hue(row, column); }
    // A second hue that goes with the first.
    Rgb accent(int column) const { return hue((row + 5) % 10, column); }
};

void fill(cairo_t* cr, Rgb colour)
{
    setColor(cr, colour);
    cairo_paint(cr);
}

void verticalGradient(cairo_t* cr, Rgb top, Rgb bottom)
{
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, 1);
    addColorStop(p, 0, top);
    addColorStop(p, 1, bottom);
    cairo_set_source(cr, p);
    cairo_paint(cr);
    cairo_pattern_destroy(p);
}

void glow(cairo_t* cr, double x, double y, double radius, Rgb colour, double alpha)
{
    cairo_pattern_t* p = cairo_pattern_create_radial(x, y, 0, x, y, radius);
    addColorStop(p, 0, colour, alpha);
    addColorStop(p, 1, colour, 0);
    cairo_set_source(cr, p);
    cairo_paint(cr);
    cairo_pattern_destroy(p);
}

void gradient(cairo_t* cr, const Look& l)
{
    double a = M_PI / 4 + l.variant * M_PI / 3;
    double dx = std::cos(a) / 2, dy = std::sin(a) / 2;
    cairo_pattern_t* p = cairo_pattern_create_linear(0.5 - dx, 0.5 - dy, 0.5 + dx, 0.5 + dy);
    addColorStop(p, 0, l.c(1));
    addColorStop(p, 0.5, l.c(2));
    addColorStop(p, 1, l.c(4));
    cairo_set_source(cr, p);
    cairo_paint(cr);
    cairo_pattern_destroy(p);
    glow(cr, 0.5 - dx * 1.2, 0.5 - dy * 1.2, 0.8, Rgb{1, 1, 1}, 0.45);
}

void bokeh(cairo_t* cr, const Look& l)
{
    verticalGradient(cr, l.c(5), l.c(6));
    for (int i = 0; i < 34; ++i) {
        double x = l.random.uniform(), y = l.random.uniform(), r = l.random.uniform(0.03, 0.13);
        cairo_pattern_t* p = cairo_pattern_create_radial(x, y, 0, x, y, r);
        Rgb tint = i % 3 ? l.c(1) : Rgb{1, 1, 1};
        double alpha = l.random.uniform(0.15, 0.4);
        addColorStop(p, 0, tint, alpha);
        addColorStop(p, 0.8, tint, alpha * 0.8);
        addColorStop(p, 1, tint, 0);
        cairo_set_source(cr, p);
        circle(cr, x, y, r);
        cairo_fill(cr);
        cairo_pattern_destroy(p);
    }
}

void paper(cairo_t* cr, const Look& l)
{
    fill(cr, mix(l.c(1), Rgb{1, 1, 1}, 0.25));
    Rgb ink = l.c(6);
    for (int i = 0; i < 1400; ++i) {
        setColor(cr, i % 2 ? ink : Rgb{1, 1, 1}, l.random.uniform(0.06, 0.18));
        circle(cr, l.random.uniform(), l.random.uniform(), l.random.uniform(0.0012, 0.0035));
        cairo_fill(cr);
    }
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 0.0025);
    for (int i = 0; i < 140; ++i) {
        double x = l.random.uniform(), y = l.random.uniform(), a = l.random.uniform(0, 2 * M_PI), len = l.random.uniform(0.02, 0.07);
        cairo_move_to(cr, x, y);
        cairo_curve_to(cr, x + len * std::cos(a + 0.6) / 2, y + len * std::sin(a + 0.6) / 2, x + len * std::cos(a - 0.4),
                       y + len * std::sin(a - 0.4), x + len * std::cos(a), y + len * std::sin(a));
        setColor(cr, ink, 0.12);
        cairo_stroke(cr);
    }
    // Writing paper: ruled lines with a margin, or a squared grid.
    cairo_set_line_width(cr, 0.005);
    if (l.variant % 2 == 0) {
        for (double y = 0.14; y < 1; y += 0.095) {
            cairo_move_to(cr, 0, y);
            cairo_line_to(cr, 1, y);
        }
        setColor(cr, l.c(4), 0.45);
        cairo_stroke(cr);
        cairo_move_to(cr, 0.13, 0);
        cairo_line_to(cr, 0.13, 1);
        setColor(cr, l.accent(4), 0.55);
        cairo_stroke(cr);
    } else {
        for (double p = 0.0625; p < 1; p += 0.0625) {
            cairo_move_to(cr, 0, p);
            cairo_line_to(cr, 1, p);
            cairo_move_to(cr, p, 0);
            cairo_line_to(cr, p, 1);
        }
        setColor(cr, l.c(4), 0.3);
        cairo_stroke(cr);
    }
    // Darker edges, like a sheet under a lamp.
    cairo_pattern_t* p = cairo_pattern_create_radial(0.5, 0.45, 0.3, 0.5, 0.5, 0.8);
    addColorStop(p, 0, ink, 0);
    addColorStop(p, 1, ink, 0.22);
    cairo_set_source(cr, p);
    cairo_paint(cr);
    cairo_pattern_destroy(p);
}

void waves(cairo_t* cr, const Look& l)
{
    fill(cr, l.c(1));
    const int bands = 6;
    double frequency = 1.0 + l.variant % 3 * 0.5;
    for (int i = 0; i < bands; ++i) {
        double base = 0.12 + i * 0.16, amplitude = 0.035 + 0.01 * (i % 2), phase = i * 1.3 + l.variant;
        cairo_move_to(cr, 0, 1.1);
        for (int k = 0; k <= 64; ++k) {
            double x = k / 64.0;
            cairo_line_to(cr, x, base + amplitude * std::sin(2 * M_PI * frequency * x + phase));
        }
        cairo_line_to(cr, 1, 1.1);
        cairo_close_path(cr);
        setColor(cr, mix(l.c(2), l.c(6), i / double(bands)), 0.9);
        cairo_fill_preserve(cr);
        setColor(cr, Rgb{1, 1, 1}, 0.35);
        cairo_set_line_width(cr, 0.006);
        cairo_stroke(cr);
    }
}

void bubbles(cairo_t* cr, const Look& l)
{
    verticalGradient(cr, l.c(2), l.c(4));
    for (int i = 0; i < 42; ++i) {
        double x = l.random.uniform(), y = l.random.uniform(), r = l.random.uniform(0.02, 0.11);
        circle(cr, x, y, r);
        setColor(cr, Rgb{1, 1, 1}, 0.14);
        cairo_fill_preserve(cr);
        setColor(cr, Rgb{1, 1, 1}, 0.6);
        cairo_set_line_width(cr, std::max(0.003, r * 0.06));
        cairo_stroke(cr);
        cairo_new_sub_path(cr);
        cairo_arc(cr, x, y, r * 0.7, M_PI * 1.1, M_PI * 1.45);
        setColor(cr, Rgb{1, 1, 1}, 0.8);
        cairo_set_line_width(cr, std::max(0.004, r * 0.12));
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_stroke(cr);
    }
}

void dots(cairo_t* cr, const Look& l)
{
    bool light = l.variant % 2;
    fill(cr, light ? l.c(1) : l.c(4));
    Rgb dot = light ? l.c(4) : Rgb{1, 1, 1};
    int perSide = 6 + l.variant % 3;
    double step = 1.0 / perSide;
    for (int row = 0; row <= perSide; ++row)
        for (int col = 0; col <= perSide; ++col) {
            double x = (col + (row % 2 ? 0.5 : 0)) * step, y = (row + 0.5) * step;
            circle(cr, x + 0.004, y + 0.006, step * 0.27);
            setColor(cr, l.c(6), 0.25);
            cairo_fill(cr);
            circle(cr, x, y, step * 0.27);
            setColor(cr, dot);
            cairo_fill(cr);
        }
}

void stripes(cairo_t* cr, const Look& l)
{
    fill(cr, l.c(2));
    double width = 0.05 + 0.02 * (l.variant % 3);
    cairo_save(cr);
    cairo_translate(cr, 0.5, 0.5);
    cairo_rotate(cr, l.variant % 2 ? M_PI / 4 : -M_PI / 4);
    for (double x = -1; x < 1; x += 2 * width) {
        cairo_rectangle(cr, x, -1, width, 2);
        setColor(cr, l.c(4));
        cairo_fill(cr);
        cairo_rectangle(cr, x + width * 1.45, -1, width * 0.1, 2);
        setColor(cr, Rgb{1, 1, 1}, 0.7);
        cairo_fill(cr);
    }
    cairo_restore(cr);
}

void gingham(cairo_t* cr, const Look& l)
{
    fill(cr, Rgb{1, 1, 1});
    int perSide = 6 + l.variant % 3 * 2;
    double step = 1.0 / perSide;
    Rgb band = l.c(3 + l.variant % 2);
    for (int i = 0; i < perSide; i += 1) {
        if (i % 2)
            continue;
        cairo_rectangle(cr, i * step, 0, step, 1);
        setColor(cr, band, 0.5);
        cairo_fill(cr);
        cairo_rectangle(cr, 0, i * step, 1, step);
        setColor(cr, band, 0.5);
        cairo_fill(cr);
    }
}

void plaid(cairo_t* cr, const Look& l)
{
    fill(cr, l.c(5));
    auto bands = [&](double offset, double width, Rgb colour, double alpha) {
        for (double p = offset; p < 1; p += 0.25) {
            cairo_rectangle(cr, p, 0, width, 1);
            cairo_rectangle(cr, 0, p, 1, width);
            setColor(cr, colour, alpha);
            cairo_fill(cr);
        }
    };
    bands(0.02, 0.11, l.c(6), 0.55);
    bands(0.16, 0.025, l.accent(3), 0.7);
    bands(0.065, 0.008, Rgb{1, 1, 1}, 0.7);
    bands(0.2, 0.006, l.c(1), 0.6);
    // A fine diagonal twill, as woven cloth shows.
    cairo_set_line_width(cr, 0.0025);
    for (double d = -1; d < 1; d += 0.012) {
        cairo_move_to(cr, d, 0);
        cairo_line_to(cr, d + 1, 1);
    }
    setColor(cr, Rgb{0, 0, 0}, 0.07);
    cairo_stroke(cr);
}

void zigzag(cairo_t* cr, const Look& l)
{
    fill(cr, Rgb{1, 1, 1});
    const int rows = 8, teeth = 5 + l.variant % 3;
    double h = 1.0 / rows, tooth = 1.0 / teeth;
    std::array<Rgb, 4> colours{l.c(2), l.c(4), Rgb{1, 1, 1}, l.c(6)};
    for (int r = -1; r <= rows; ++r) {
        double y = r * h;
        cairo_move_to(cr, 0, y);
        for (int t = 0; t < teeth; ++t) {
            cairo_line_to(cr, (t + 0.5) * tooth, y + h * 0.6);
            cairo_line_to(cr, (t + 1) * tooth, y);
        }
        cairo_line_to(cr, 1, y + h);
        for (int t = teeth; t > 0; --t) {
            cairo_line_to(cr, (t - 0.5) * tooth, y + h * 1.6);
            cairo_line_to(cr, (t - 1) * tooth, y + h);
        }
        cairo_close_path(cr);
        setColor(cr, colours[static_cast<std::size_t>((r + 4) % 4)]);
        cairo_fill(cr);
    }
}

void hearts(cairo_t* cr, const Look& l)
{
    verticalGradient(cr, mix(l.c(1), Rgb{1, 1, 1}, 0.5), l.c(1));
    for (int i = 0; i < 34; ++i) {
        double x = l.random.uniform(), y = l.random.uniform(), size = l.random.uniform(0.06, 0.14);
        cairo_save(cr);
        cairo_translate(cr, x, y);
        cairo_rotate(cr, l.random.uniform(-0.45, 0.45));
        heart(cr, 0, 0, size);
        setColor(cr, l.c(3 + l.random.below(3)), 0.92);
        cairo_fill_preserve(cr);
        setColor(cr, Rgb{1, 1, 1}, 0.8);
        cairo_set_line_width(cr, 0.004);
        cairo_stroke(cr);
        cairo_restore(cr);
    }
}

void stars(cairo_t* cr, const Look& l)
{
    verticalGradient(cr, mix(l.c(6), Rgb{0, 0, 0}, 0.45), l.c(6));
    for (int i = 0; i < 160; ++i) {
        circle(cr, l.random.uniform(), l.random.uniform(), l.random.uniform(0.0015, 0.004));
        setColor(cr, Rgb{1, 1, 1}, l.random.uniform(0.4, 0.9));
        cairo_fill(cr);
    }
    for (int i = 0; i < 16; ++i) {
        double x = l.random.uniform(0.05, 0.95), y = l.random.uniform(0.05, 0.95), r = l.random.uniform(0.03, 0.07);
        glow(cr, x, y, r * 2.2, l.c(1), 0.25);
        star(cr, x, y, r, r * 0.45, 5, l.random.uniform(-0.3, 0.3));
        setColor(cr, i % 3 ? swatch(21) : l.c(1));
        cairo_fill(cr);
    }
}

void confetti(cairo_t* cr, const Look& l)
{
    fill(cr, mix(l.c(1), Rgb{1, 1, 1}, 0.7));
    for (int i = 0; i < 130; ++i) {
        double x = l.random.uniform(), y = l.random.uniform();
        Rgb colour = i % 3 == 0 ? l.c(4 + l.random.below(2)) : hue(l.random.below(10), 3 + l.random.below(3));
        cairo_save(cr);
        cairo_translate(cr, x, y);
        cairo_rotate(cr, l.random.uniform(0, M_PI));
        switch (i % 3) {
        case 0: cairo_rectangle(cr, -0.022, -0.009, 0.044, 0.018); break;
        case 1: circle(cr, 0, 0, 0.012); break;
        default:
            cairo_move_to(cr, -0.03, 0);
            cairo_curve_to(cr, -0.015, -0.022, 0.0, 0.022, 0.03, 0);
            cairo_set_line_width(cr, 0.008);
            cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
            setColor(cr, colour);
            cairo_stroke(cr);
            cairo_restore(cr);
            continue;
        }
        setColor(cr, colour);
        cairo_fill(cr);
        cairo_restore(cr);
    }
}

void argyle(cairo_t* cr, const Look& l)
{
    fill(cr, l.c(2));
    const int across = 4, down = 3;
    double w = 1.0 / across, h = 1.0 / down;
    for (int r = 0; r <= down; ++r)
        for (int c = 0; c <= across; ++c) {
            double cx = c * w + (r % 2 ? w / 2 : 0), cy = r * h;
            cairo_move_to(cr, cx, cy - h / 2);
            cairo_line_to(cr, cx + w / 2, cy);
            cairo_line_to(cr, cx, cy + h / 2);
            cairo_line_to(cr, cx - w / 2, cy);
            cairo_close_path(cr);
            setColor(cr, (r + c) % 2 ? l.c(4) : l.c(5));
            cairo_fill(cr);
        }
    // Dashed threads over the diamonds.
    double dash[] = {0.018, 0.012};
    cairo_set_dash(cr, dash, 2, 0);
    cairo_set_line_width(cr, 0.006);
    for (int k = -across; k <= 2 * across; ++k) {
        cairo_move_to(cr, k * w, 0);
        cairo_line_to(cr, k * w + 1.0 * w / h * 0.5 * 2 * h * down / 2, 1);
        cairo_move_to(cr, k * w, 0);
        cairo_line_to(cr, k * w - w / 2 * down, 1);
    }
    setColor(cr, Rgb{1, 1, 1}, 0.85);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
}

void sunburst(cairo_t* cr, const Look& l)
{
    fill(cr, l.c(2));
    int rays = 16 + 4 * (l.variant % 3);
    double cx = 0.5, cy = l.variant % 2 ? 0.5 : 0.85;
    for (int i = 0; i < rays; i += 2) {
        double a0 = 2 * M_PI * i / rays, a1 = 2 * M_PI * (i + 1) / rays;
        cairo_move_to(cr, cx, cy);
        cairo_line_to(cr, cx + 2 * std::cos(a0), cy + 2 * std::sin(a0));
        cairo_line_to(cr, cx + 2 * std::cos(a1), cy + 2 * std::sin(a1));
        cairo_close_path(cr);
    }
    setColor(cr, l.c(3));
    cairo_fill(cr);
    glow(cr, cx, cy, 0.6, Rgb{1, 1, 1}, 0.7);
}

using Painter = void (*)(cairo_t*, const Look&);

struct Pattern {
    const char* name;
    Painter paint;
};

constexpr std::array<Pattern, TexturePainter::patternCount> patterns{{
    {"gradient", gradient}, {"bokeh", bokeh},       {"paper", paper},       {"waves", waves},
    {"bubbles", bubbles},   {"dots", dots},         {"stripes", stripes},   {"gingham", gingham},
    {"plaid", plaid},       {"zigzag", zigzag},     {"hearts", hearts},     {"stars", stars},
    {"confetti", confetti}, {"argyle", argyle},     {"sunburst", sunburst},
}};

} // namespace

void TexturePainter::paint(cairo_t* cr, int n, double side)
{
    int index = (n - 1) / 6 % patternCount, variant = (n - 1) % 6;
    // Six hues spread round the palette, starting at a different one per pattern.
    int row = (index + variant * 3) % 10;
    Random random(static_cast<std::uint64_t>(n));
    Look look{row, variant, random};

    cairo_save(cr);
    cairo_rectangle(cr, 0, 0, side, side);
    cairo_clip(cr);
    cairo_scale(cr, side, side);
    patterns[static_cast<std::size_t>(index)].paint(cr, look);
    cairo_restore(cr);
}

std::string TexturePainter::patternName(int n) { return patterns[static_cast<std::size_t>((n - 1) / 6 % patternCount)].name; }

} // namespace vq::artwork
