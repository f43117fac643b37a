#include "artwork/ChromePainter.h"

#include "artwork/Paint.h"

#include <cmath>

namespace vq::artwork {

namespace {

const Rgb white{1, 1, 1};
// The panel's dusk violet: deep enough for the font list's white names.
const Rgb panelTop = rgb255(74, 70, 99);
const Rgb panelBottom = rgb255(47, 44, 64);
const Rgb accent = rgb255(255, 51, 108);

void linear(cairo_t* cr, double x0, double y0, double x1, double y1, Rgb a, Rgb b, double alphaA = 1, double alphaB = 1)
{
    cairo_pattern_t* p = cairo_pattern_create_linear(x0, y0, x1, y1);
    addColorStop(p, 0, a, alphaA);
    addColorStop(p, 1, b, alphaB);
    cairo_set_source(cr, p);
    cairo_pattern_destroy(p);
}

// A soft drop shadow under the current path's shape, drawn as widening rings.
void softShadow(cairo_t* cr, double cx, double cy, double radius, double spread, double alpha)
{
    for (int i = 6; i >= 1; --i) {
        circle(cr, cx, cy, radius + spread * i / 6);
        cairo_set_source_rgba(cr, 0, 0, 0, alpha / 6);
        cairo_fill(cr);
    }
}

void roundButtonFace(cairo_t* cr, double cx, double cy, double r)
{
    softShadow(cr, cx, cy + r * 0.12, r, r * 0.16, 0.25);
    circle(cr, cx, cy, r);
    linear(cr, 0, cy - r, 0, cy + r, white, rgb255(232, 234, 240));
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, r * 0.06);
    setColor(cr, rgb255(196, 200, 210));
    cairo_stroke(cr);
}

void die(cairo_t* cr, double cx, double cy, double side, double angle, int face, Rgb pip)
{
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_rotate(cr, angle);
    roundedRect(cr, -side / 2 + side * 0.04, -side / 2 + side * 0.1, side, side, side * 0.22);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.18);
    cairo_fill(cr);
    roundedRect(cr, -side / 2, -side / 2, side, side, side * 0.22);
    linear(cr, 0, -side / 2, 0, side / 2, white, rgb255(226, 228, 236));
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, side * 0.05);
    setColor(cr, rgb255(186, 190, 204));
    cairo_stroke(cr);
    double o = side * 0.26, r = side * 0.09;
    auto dot = [&](double x, double y) {
        circle(cr, x, y, r);
        setColor(cr, pip);
        cairo_fill(cr);
    };
    if (face % 2)
        dot(0, 0);
    if (face >= 2) {
        dot(-o, -o);
        dot(o, o);
    }
    if (face >= 4) {
        dot(o, -o);
        dot(-o, o);
    }
    if (face == 6) {
        dot(-o, 0);
        dot(o, 0);
    }
    cairo_restore(cr);
}

void tabIcon(cairo_t* cr, const std::string& tab, bool selected, double cx, double cy, double u)
{
    Rgb ink = selected ? white : rgb255(196, 192, 214);
    if (tab == "text") {
        drawCentredText(cr, "A", {"DejaVu Sans", 19 * u, true}, ink, cx, cy - 1.5 * u);
        roundedRect(cr, cx - 9 * u, cy + 7.5 * u, 18 * u, 3.2 * u, 1.6 * u);
        if (selected) {
            cairo_pattern_t* p = cairo_pattern_create_linear(cx - 9 * u, 0, cx + 9 * u, 0);
            const int stops[] = {5, 29, 23, 35, 53, 59};
            for (int i = 0; i < 6; ++i)
                addColorStop(p, i / 5.0, swatch(stops[i]));
            cairo_set_source(cr, p);
            cairo_pattern_destroy(p);
        } else
            setColor(cr, ink, 0.7);
        cairo_fill(cr);
    } else if (tab == "color") {
        // A paint bucket's worth of colour: three overlapping drops of the palette.
        const int swatches[] = {3, 33, 51};
        for (int i = 0; i < 3; ++i) {
            double a = -M_PI / 2 + i * 2 * M_PI / 3;
            circle(cr, cx + 4.6 * u * std::cos(a), cy + 4.6 * u * std::sin(a), 6.6 * u);
            if (selected)
                setColor(cr, swatch(swatches[i]), 0.85);
            else
                setColor(cr, ink, 0.35 + 0.2 * i);
            cairo_fill_preserve(cr);
            setColor(cr, selected ? white : ink, selected ? 0.9 : 0.6);
            cairo_set_line_width(cr, 1.0 * u);
            cairo_stroke(cr);
        }
    } else if (tab == "texture") {
        double s = 19 * u, x = cx - s / 2, y = cy - s / 2;
        cairo_save(cr);
        roundedRect(cr, x, y, s, s, 4 * u);
        cairo_clip_preserve(cr);
        setColor(cr, selected ? swatch(9) : ink, selected ? 1 : 0.35);
        cairo_fill(cr);
        double cell = s / 4;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                if ((r + c) % 2 == 0) {
                    cairo_rectangle(cr, x + c * cell, y + r * cell, cell, cell);
                    setColor(cr, selected ? swatch(19) : ink, selected ? 1 : 0.75);
                    cairo_fill(cr);
                }
        cairo_restore(cr);
        roundedRect(cr, x, y, s, s, 4 * u);
        setColor(cr, selected ? white : ink, 0.9);
        cairo_set_line_width(cr, 1.4 * u);
        cairo_stroke(cr);
    } else {
        drawCentredText(cr, "Aa", {"DejaVu Serif", 19 * u, true, true}, ink, cx, cy);
        if (selected) {
            cairo_move_to(cr, cx - 10 * u, cy + 10 * u);
            cairo_curve_to(cr, cx - 3 * u, cy + 7.5 * u, cx + 3 * u, cy + 12 * u, cx + 10 * u, cy + 9 * u);
            setColor(cr, accent);
            cairo_set_line_width(cr, 1.6 * u);
            cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
            cairo_stroke(cr);
        }
    }
}

} // namespace

void ChromePainter::bar(cairo_t* cr, double width, double height)
{
    linear(cr, 0, 0, 0, height, rgb255(253, 253, 254), rgb255(236, 238, 243));
    cairo_paint(cr);
    // A bright top edge and a hairline under the bar: one pixel each at scale 2.
    cairo_rectangle(cr, 0, 0, width, 0.5);
    setColor(cr, white);
    cairo_fill(cr);
    cairo_rectangle(cr, 0, height - 0.5, width, 0.5);
    setColor(cr, rgb255(178, 184, 194));
    cairo_fill(cr);
}

void ChromePainter::panelBackground(cairo_t* cr, double width, double height, bool tablet)
{
    linear(cr, 0, 0, 0, height, panelTop, panelBottom);
    cairo_paint(cr);
    // A faint sheen from the upper left.
    cairo_pattern_t* p = cairo_pattern_create_radial(width * 0.2, 0, 0, width * 0.2, 0, width * 0.9);
    addColorStop(p, 0, white, 0.09);
    addColorStop(p, 1, white, 0);
    cairo_set_source(cr, p);
    cairo_paint(cr);
    cairo_pattern_destroy(p);
    // A shallow well under the tab row, where the pages sit.
    double tabs = tablet ? 100 : 49;
    linear(cr, 0, tabs - 5, 0, tabs + 10, rgb255(0, 0, 0), rgb255(0, 0, 0), 0.25, 0);
    cairo_rectangle(cr, 0, tabs - 5, width, 15);
    cairo_fill(cr);
    // A fine diagonal weave, barely there, so the panel does not look flat.
    cairo_set_line_width(cr, 0.5);
    for (double d = -height; d < width; d += 6) {
        cairo_move_to(cr, d, height);
        cairo_line_to(cr, d + height, 0);
    }
    setColor(cr, white, 0.025);
    cairo_stroke(cr);
}

void ChromePainter::clearButton(cairo_t* cr, double width, double height)
{
    double u = height / 30, r = 12.5 * u, cx = width / 2, cy = height / 2 - 0.5 * u;
    roundButtonFace(cr, cx, cy, r);
    // A cross in a coral disc: "wipe it all".
    circle(cr, cx, cy, r * 0.62);
    linear(cr, 0, cy - r, 0, cy + r, rgb255(255, 122, 122), rgb255(235, 64, 84));
    cairo_fill(cr);
    double k = r * 0.27;
    cairo_move_to(cr, cx - k, cy - k);
    cairo_line_to(cr, cx + k, cy + k);
    cairo_move_to(cr, cx + k, cy - k);
    cairo_line_to(cr, cx - k, cy + k);
    cairo_set_line_width(cr, 2.2 * u);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    setColor(cr, white);
    cairo_stroke(cr);
}

void ChromePainter::randomButton(cairo_t* cr, double width, double height)
{
    double u = height / 30, cx = width / 2, cy = height / 2;
    // A pill holding two tumbling dice.
    roundedRect(cr, cx - 28 * u, cy - 12.5 * u + 1.5 * u, 56 * u, 25 * u, 12.5 * u);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.12);
    cairo_fill(cr);
    roundedRect(cr, cx - 28 * u, cy - 12.5 * u, 56 * u, 25 * u, 12.5 * u);
    linear(cr, 0, cy - 12.5 * u, 0, cy + 12.5 * u, rgb255(168, 120, 255), rgb255(98, 40, 220));
    cairo_fill_preserve(cr);
    setColor(cr, rgb255(80, 30, 190));
    cairo_set_line_width(cr, 0.8 * u);
    cairo_stroke(cr);
    die(cr, cx - 9 * u, cy + 0.5 * u, 15 * u, -0.22, 5, rgb255(98, 0, 255));
    die(cr, cx + 9 * u, cy - 0.5 * u, 15 * u, 0.26, 3, rgb255(255, 51, 108));
}

void ChromePainter::tabButton(cairo_t* cr, const std::string& tab, bool selected, double width, double height)
{
    double u = height / 49;
    if (selected) {
        linear(cr, 0, 0, 0, height, rgb255(112, 104, 168), rgb255(86, 80, 134));
        cairo_paint(cr);
        // An accent bar along the bottom ties the tab to its page.
        cairo_rectangle(cr, 0, height - 3 * u, width, 3 * u);
        setColor(cr, accent);
        cairo_fill(cr);
    } else {
        linear(cr, 0, 0, 0, height, rgb255(88, 84, 114), rgb255(70, 66, 94));
        cairo_paint(cr);
        cairo_rectangle(cr, 0, height - 1 * u, width, 1 * u);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.3);
        cairo_fill(cr);
    }
    // Dividers: a light line left, a dark one right.
    cairo_rectangle(cr, 0, 0, 0.5, height);
    setColor(cr, white, 0.12);
    cairo_fill(cr);
    cairo_rectangle(cr, width - 0.5, 0, 0.5, height);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.3);
    cairo_fill(cr);
    cairo_rectangle(cr, 0, 0, width, 0.5);
    setColor(cr, white, selected ? 0.3 : 0.12);
    cairo_fill(cr);

    tabIcon(cr, tab, selected, width / 2, 18 * u, u);
    const char* caption = tab == "text" ? "Text" : tab == "color" ? "Color" : tab == "texture" ? "Texture" : "Font";
    drawCentredText(cr, caption, {"DejaVu Sans", 9.5 * u, true}, selected ? white : rgb255(190, 186, 210), width / 2,
                    37.5 * u);
}

void ChromePainter::selectionMark(cairo_t* cr, double side)
{
    double u = side / 88, inset = 2.5 * u, radius = 14 * u;
    // White ring edged dark on both sides, so it shows on white swatches, black ones and the panel.
    roundedRect(cr, inset, inset, side - 2 * inset, side - 2 * inset, radius);
    cairo_set_line_width(cr, 5 * u);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
    cairo_stroke_preserve(cr);
    cairo_set_line_width(cr, 3 * u);
    setColor(cr, white);
    cairo_stroke(cr);
}

} // namespace vq::artwork
