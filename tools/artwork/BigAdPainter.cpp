#include "artwork/BigAdPainter.h"

#include "artwork/Paint.h"

#include <algorithm>
#include <numbers>

namespace vq::artwork {

namespace {

const Rgb kPlumTop = rgb255(88, 40, 120);
const Rgb kPlumBottom = rgb255(38, 16, 64);
const Rgb kGold = rgb255(240, 196, 98);

} // namespace

void BigAdPainter::card(cairo_t* cr, double w, double h, double px, double py, double pw, double ph)
{
    double unit = std::min(w, h) / 300; // strokes and radii grow with the card
    double radius = 14 * unit;

    // Soft shadow inside the bounds, then the body.
    for (int i = 3; i >= 1; --i) {
        roundedRect(cr, i * unit, i * 1.5 * unit, w - 2 * i * unit, h - 2 * i * unit, radius);
        setColor(cr, rgb255(0, 0, 0), 0.12);
        cairo_fill(cr);
    }
    roundedRect(cr, 1.5 * unit, 1.5 * unit, w - 3 * unit, h - 4 * unit, radius);
    cairo_pattern_t* body = cairo_pattern_create_linear(0, 0, 0, h);
    addColorStop(body, 0, kPlumTop);
    addColorStop(body, 1, kPlumBottom);
    cairo_set_source(cr, body);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(body);
    // A velvet sheen across the upper half.
    cairo_pattern_t* sheen = cairo_pattern_create_radial(w * 0.3, h * 0.05, 0, w * 0.3, h * 0.05, w * 0.9);
    addColorStop(sheen, 0, rgb255(255, 255, 255), 0.18);
    addColorStop(sheen, 1, rgb255(255, 255, 255), 0);
    cairo_set_source(cr, sheen);
    cairo_fill(cr);
    cairo_pattern_destroy(sheen);

    // A thin gold rule just inside the edge.
    roundedRect(cr, 5 * unit, 5 * unit, w - 10 * unit, h - 11 * unit, radius - 3 * unit);
    setColor(cr, kGold, 0.55);
    cairo_set_line_width(cr, 1.2 * unit);
    cairo_stroke(cr);

    // The picture's well: darker, with a gold frame, so a missing picture still looks intended.
    double inset = 3 * unit;
    roundedRect(cr, px - inset, py - inset, pw + 2 * inset, ph + 2 * inset, 6 * unit);
    setColor(cr, kGold, 0.8);
    cairo_fill(cr);
    roundedRect(cr, px, py, pw, ph, 4 * unit);
    cairo_pattern_t* well = cairo_pattern_create_linear(0, py, 0, py + ph);
    addColorStop(well, 0, rgb255(24, 10, 40));
    addColorStop(well, 1, rgb255(52, 26, 80));
    cairo_set_source(cr, well);
    cairo_fill(cr);
    cairo_pattern_destroy(well);

    // Small stars scattered over the band under the picture.
    Random random(static_cast<std::uint64_t>(w * 7 + h));
    double bandTop = py + ph + 6 * unit, bandBottom = h - 10 * unit;
    for (int i = 0; i < 14 && bandBottom > bandTop; ++i) {
        double x = random.uniform(12 * unit, w - 12 * unit);
        double y = random.uniform(bandTop, bandBottom);
        star(cr, x, y, 2.2 * unit, 0.9 * unit, 4, random.uniform(0, std::numbers::pi / 2));
        setColor(cr, kGold, random.uniform(0.15, 0.4));
        cairo_fill(cr);
    }
}

void BigAdPainter::closeButton(cairo_t* cr, double side)
{
    double c = side / 2, r = side / 2 - side * 0.06;
    circle(cr, c, c + side * 0.03, r);
    setColor(cr, rgb255(0, 0, 0), 0.35);
    cairo_fill(cr);
    circle(cr, c, c, r);
    setColor(cr, rgb255(255, 255, 255));
    cairo_fill(cr);
    circle(cr, c, c, r - side * 0.08);
    cairo_pattern_t* fill = cairo_pattern_create_linear(0, 0, 0, side);
    addColorStop(fill, 0, rgb255(150, 60, 150));
    addColorStop(fill, 1, rgb255(70, 24, 100));
    cairo_set_source(cr, fill);
    cairo_fill(cr);
    cairo_pattern_destroy(fill);
    double arm = r * 0.42;
    cairo_set_line_width(cr, side * 0.11);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    setColor(cr, rgb255(255, 255, 255));
    cairo_move_to(cr, c - arm, c - arm);
    cairo_line_to(cr, c + arm, c + arm);
    cairo_move_to(cr, c + arm, c - arm);
    cairo_line_to(cr, c - arm, c + arm);
    cairo_stroke(cr);
}

void BigAdPainter::getButton(cairo_t* cr, double w, double h)
{
    double radius = h / 2;
    roundedRect(cr, 0, h * 0.06, w, h * 0.94, radius);
    setColor(cr, rgb255(120, 70, 10));
    cairo_fill(cr);
    roundedRect(cr, 0, 0, w, h * 0.92, radius);
    cairo_pattern_t* fill = cairo_pattern_create_linear(0, 0, 0, h);
    addColorStop(fill, 0, rgb255(255, 222, 130));
    addColorStop(fill, 0.5, kGold);
    addColorStop(fill, 1, rgb255(214, 150, 40));
    cairo_set_source(cr, fill);
    cairo_fill(cr);
    cairo_pattern_destroy(fill);
    // A highlight along the top.
    roundedRect(cr, h * 0.25, h * 0.08, w - h * 0.5, h * 0.32, h * 0.16);
    setColor(cr, rgb255(255, 255, 255), 0.35);
    cairo_fill(cr);
    drawCentredText(cr, "GET", {.size = h * 0.52, .bold = true}, rgb255(70, 24, 100), w / 2, h * 0.47);
}

void BigAdPainter::addItems(std::vector<ArtworkItem>& items)
{
    struct Card {
        const char* name;
        double w, h;
        double px, py, pw, ph; // where the ad puts its picture
    };
    for (const Card& c : {Card{"ad-img/ad-big", 304, 400, 12, 41.5, 280, 257},
                          Card{"ad-img/ad-big-i5", 304, 486, 12, 42.5, 280, 341},
                          Card{"ad-img/ad-big-ipad", 534, 765, 16.5, 66, 501, 541}})
        items.push_back({c.name, c.w, c.h, [c](cairo_t* cr) { card(cr, c.w, c.h, c.px, c.py, c.pw, c.ph); }});
    items.push_back({"ad-img/ad-close", 28, 28, [](cairo_t* cr) { closeButton(cr, 28); }});
    items.push_back({"ad-img/ad-close-ipad", 51, 51, [](cairo_t* cr) { closeButton(cr, 51); }});
    items.push_back({"ad-img/ad-get", 109, 26, [](cairo_t* cr) { getButton(cr, 109, 26); }});
    items.push_back({"ad-img/ad-get-ipad", 174, 40, [](cairo_t* cr) { getButton(cr, 174, 40); }});
}

} // namespace vq::artwork
