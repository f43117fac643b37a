#include "artwork/WallPainter.h"

#include "artwork/Paint.h"

#include <cmath>

namespace vq::artwork {

namespace {

// The app's velvet: a deep plum, lighter at the top.
const Rgb velvetTop = rgb255(112, 52, 98);
const Rgb velvetBottom = rgb255(58, 26, 60);
const Rgb wellColour = rgb255(36, 18, 40);
const Rgb gold = rgb255(246, 196, 92);

void linear(cairo_t* cr, double x0, double y0, double x1, double y1, Rgb a, Rgb b, double alphaA = 1,
            double alphaB = 1)
{
    cairo_pattern_t* p = cairo_pattern_create_linear(x0, y0, x1, y1);
    addColorStop(p, 0, a, alphaA);
    addColorStop(p, 1, b, alphaB);
    cairo_set_source(cr, p);
    cairo_pattern_destroy(p);
}

} // namespace

void WallPainter::card(cairo_t* cr, double width, double height, double wellX, double wellY, double wellW,
                       double wellH)
{
    double unit = width / 304; // tablets draw everything a little larger
    double radius = 14 * unit;
    // The close button sits over the top-left corner: leave a little air there.
    double inset = 3 * unit;
    roundedRect(cr, inset, inset, width - 2 * inset, height - 2 * inset, radius);
    linear(cr, 0, 0, 0, height, velvetTop, velvetBottom);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 2 * unit);
    setColor(cr, gold, 0.85);
    cairo_stroke(cr);

    // A soft sheen over the header where the featured app sits.
    cairo_save(cr);
    roundedRect(cr, inset, inset, width - 2 * inset, wellY - inset, radius);
    cairo_clip(cr);
    linear(cr, 0, inset, 0, wellY, Rgb{1, 1, 1}, Rgb{1, 1, 1}, 0.16, 0.0);
    cairo_paint(cr);
    // Sprinkled stars, placed the same way on every run.
    Random random(0x5eed);
    for (int i = 0; i < 14; ++i) {
        double x = random.uniform(inset + radius, width - inset - radius);
        double y = random.uniform(inset + 6 * unit, wellY - 10 * unit);
        star(cr, x, y, random.uniform(1.2, 2.6) * unit, 0.8 * unit, 4, 0);
        setColor(cr, gold, random.uniform(0.25, 0.6));
        cairo_fill(cr);
    }
    cairo_restore(cr);

    // A thin gold rule under the header.
    cairo_move_to(cr, wellX + 6 * unit, wellY - 8 * unit);
    cairo_line_to(cr, wellX + wellW - 6 * unit, wellY - 8 * unit);
    cairo_set_line_width(cr, 1 * unit);
    setColor(cr, gold, 0.6);
    cairo_stroke(cr);

    // The well the grid scrolls in, sunk into the card.
    double wellRadius = 8 * unit;
    roundedRect(cr, wellX - 2 * unit, wellY - 2 * unit, wellW + 4 * unit, wellH + 4 * unit, wellRadius + 2 * unit);
    setColor(cr, Rgb{0, 0, 0}, 0.35);
    cairo_fill(cr);
    roundedRect(cr, wellX, wellY, wellW, wellH, wellRadius);
    setColor(cr, wellColour);
    cairo_fill(cr);
}

void WallPainter::row(cairo_t* cr, double width, double height, int columns, double pitch)
{
    linear(cr, 0, 0, 0, height, rgb255(52, 26, 56), wellColour);
    cairo_paint(cr);
    cairo_set_line_width(cr, 1);
    // Dividers between the columns, fading out at both ends.
    for (int c = 1; c < columns; ++c) {
        double x = std::round(c * pitch) - 0.5;
        cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, height);
        addColorStop(p, 0, Rgb{1, 1, 1}, 0.0);
        addColorStop(p, 0.5, Rgb{1, 1, 1}, 0.10);
        addColorStop(p, 1, Rgb{1, 1, 1}, 0.0);
        cairo_set_source(cr, p);
        cairo_pattern_destroy(p);
        cairo_move_to(cr, x, 8);
        cairo_line_to(cr, x, height - 8);
        cairo_stroke(cr);
    }
    // The row's bottom edge: a dark groove over a light lip.
    cairo_move_to(cr, 6, height - 1.5);
    cairo_line_to(cr, width - 6, height - 1.5);
    setColor(cr, Rgb{0, 0, 0}, 0.45);
    cairo_stroke(cr);
    cairo_move_to(cr, 6, height - 0.5);
    cairo_line_to(cr, width - 6, height - 0.5);
    setColor(cr, gold, 0.18);
    cairo_stroke(cr);
}

void WallPainter::installedBadge(cairo_t* cr, double side)
{
    double c = side / 2, r = side / 2 - side * 0.06;
    circle(cr, c, c + side * 0.04, r);
    setColor(cr, Rgb{0, 0, 0}, 0.3);
    cairo_fill(cr);
    circle(cr, c, c, r);
    linear(cr, 0, 0, 0, side, rgb255(110, 214, 120), rgb255(38, 150, 68));
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, side * 0.08);
    setColor(cr, Rgb{1, 1, 1});
    cairo_stroke(cr);
    cairo_move_to(cr, side * 0.29, side * 0.52);
    cairo_line_to(cr, side * 0.44, side * 0.67);
    cairo_line_to(cr, side * 0.72, side * 0.36);
    cairo_set_line_width(cr, side * 0.12);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
}

void WallPainter::addItems(std::vector<ArtworkItem>& items)
{
    struct Card {
        const char* name;
        double w, h, wellX, wellY;
    };
    // The grid's frame in each card: 11/17 points in from the sides, 15/19 above the bottom.
    for (Card c : {Card{"ad-img/ad-wall", 304, 400, 11, 122}, Card{"ad-img/ad-wall-i5", 304, 486, 11, 122},
                   Card{"ad-img/ad-wall-ipad", 534, 765, 17, 159}}) {
        double wellW = c.w - 2 * c.wellX, wellH = c.h - c.wellY - (c.w > 304 ? 19 : 15);
        items.push_back({c.name, c.w, c.h, [c, wellW, wellH](cairo_t* cr) {
                             card(cr, c.w, c.h, c.wellX, c.wellY, wellW, wellH);
                         }});
    }
    items.push_back({"ad-img/ad-wall-row", 282, 89, [](cairo_t* cr) { row(cr, 282, 89, 3, 95); }});
    items.push_back({"ad-img/ad-wall-row-ipad", 500, 117, [](cairo_t* cr) { row(cr, 500, 117, 4, 126); }});
    items.push_back({"ad-img/ad-installed", 20, 20, [](cairo_t* cr) { installedBadge(cr, 20); }});
    items.push_back({"ad-img/ad-installed-ipad", 25, 25, [](cairo_t* cr) { installedBadge(cr, 25); }});
}

} // namespace vq::artwork
