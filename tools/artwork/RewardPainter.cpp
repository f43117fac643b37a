#include "artwork/RewardPainter.h"

#include "artwork/Paint.h"

#include <algorithm>
#include <cmath>

namespace vq::artwork {

namespace {

const Rgb night = rgb255(34, 20, 74);
const Rgb dusk = rgb255(86, 38, 140);
const Rgb plum = rgb255(150, 52, 150);
const Rgb gold = rgb255(255, 200, 70);
const Rgb amber = rgb255(245, 140, 30);
const Rgb white = rgb255(255, 255, 255);

void vertical(cairo_t* cr, double y0, double y1, Rgb top, Rgb bottom, double alpha = 1)
{
    cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
    addColorStop(p, 0, top, alpha);
    addColorStop(p, 1, bottom, alpha);
    cairo_set_source(cr, p);
    cairo_pattern_destroy(p);
}

// Soft glowing dots and a few small stars, seeded so every build looks the same.
// Glowing dots over the area; the small stars stay within its top starBand
// (a fraction), clear of the text laid over the rest.
void sparkles(cairo_t* cr, double x, double y, double w, double h, int count, std::uint64_t seed, double scale,
              double starBand = 1)
{
    Random random(seed);
    for (int i = 0; i < count; ++i) {
        double cx = x + random.uniform(0, w), cy = y + random.uniform(0, h);
        double r = random.uniform(6, 26) * scale;
        cairo_pattern_t* glow = cairo_pattern_create_radial(cx, cy, 0, cx, cy, r);
        Rgb c = random.below(3) == 0 ? gold : mix(plum, white, 0.4);
        addColorStop(glow, 0, c, 0.22);
        addColorStop(glow, 1, c, 0);
        cairo_set_source(cr, glow);
        circle(cr, cx, cy, r);
        cairo_fill(cr);
        cairo_pattern_destroy(glow);
    }
    for (int i = 0; i < count / 2; ++i) {
        double cx = x + random.uniform(0, w), cy = y + random.uniform(0, h * starBand);
        // Not on the title in the middle.
        if (starBand < 1 && std::abs(cx - (x + w / 2)) < w * 0.36)
            continue;
        double r = random.uniform(1.5, 3.5) * scale;
        star(cr, cx, cy, r, r / 3, 4, random.uniform(0, 1));
        setColor(cr, random.below(2) ? gold : white, random.uniform(0.5, 0.9));
        cairo_fill(cr);
    }
}

void roundButtonBack(cairo_t* cr, double cx, double cy, double r)
{
    circle(cr, cx, cy + r * 0.08, r);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.25);
    cairo_fill(cr);
    circle(cr, cx, cy, r);
    vertical(cr, cy - r, cy + r, mix(dusk, white, 0.25), dusk);
    cairo_fill_preserve(cr);
    setColor(cr, white, 0.55);
    cairo_set_line_width(cr, r * 0.09);
    cairo_stroke(cr);
}

} // namespace

void RewardPainter::header(cairo_t* cr, double width, double height)
{
    vertical(cr, 0, height, dusk, night);
    cairo_paint(cr);
    // A warm glow behind the title, a rising curve at the foot.
    cairo_pattern_t* glow = cairo_pattern_create_radial(width / 2, 0, 0, width / 2, 0, width * 0.6);
    addColorStop(glow, 0, plum, 0.65);
    addColorStop(glow, 1, plum, 0);
    cairo_set_source(cr, glow);
    cairo_paint(cr);
    cairo_pattern_destroy(glow);
    sparkles(cr, 0, 0, width, height, static_cast<int>(width / 16), 41, height / 137, 0.3);
    double u = height / 137;
    cairo_move_to(cr, 0, height);
    cairo_curve_to(cr, width * 0.3, height - 10 * u, width * 0.7, height - 2 * u, width, height - 12 * u);
    cairo_line_to(cr, width, height);
    cairo_close_path(cr);
    setColor(cr, night, 0.9);
    cairo_fill(cr);
}

void RewardPainter::page(cairo_t* cr, double width, double height, double headerHeight)
{
    header(cr, width, headerHeight);
    cairo_save(cr);
    cairo_rectangle(cr, 0, headerHeight, width, height - headerHeight);
    cairo_clip(cr);
    tableBackground(cr, width, height);
    cairo_restore(cr);
    // The tablet's two columns of rows sit on faint panels.
    double u = width / 768;
    for (double x : {0.0, 392.0}) {
        roundedRect(cr, (x + 4) * u, headerHeight + 4 * u, 367 * u, height - headerHeight - 12 * u, 14 * u);
        setColor(cr, white, 0.04);
        cairo_fill(cr);
    }
}

void RewardPainter::tableBackground(cairo_t* cr, double width, double height)
{
    vertical(cr, 0, height, night, rgb255(18, 10, 40));
    cairo_paint(cr);
    // A light grain of dots, so the stretched picture never bands.
    Random random(7);
    for (int i = 0; i < static_cast<int>(width * height / 900); ++i) {
        circle(cr, random.uniform(0, width), random.uniform(0, height), random.uniform(0.4, 1.1));
        setColor(cr, white, random.uniform(0.04, 0.12));
        cairo_fill(cr);
    }
}

void RewardPainter::row(cairo_t* cr, double width, double height, bool alternate)
{
    double u = height / 73;
    roundedRect(cr, 5 * u, 3 * u, width - 10 * u, height - 6 * u, 10 * u);
    vertical(cr, 3 * u, height - 3 * u, alternate ? rgb255(70, 44, 120) : rgb255(58, 38, 108),
             alternate ? rgb255(48, 28, 92) : rgb255(40, 24, 82));
    cairo_fill_preserve(cr);
    setColor(cr, white, 0.12);
    cairo_set_line_width(cr, 1 * u);
    cairo_stroke(cr);
    // A warm glow at the right, where the credits live.
    cairo_pattern_t* glow = cairo_pattern_create_radial(width - 30 * u, height / 2, 0, width - 30 * u, height / 2, 50 * u);
    addColorStop(glow, 0, gold, 0.14);
    addColorStop(glow, 1, gold, 0);
    cairo_set_source(cr, glow);
    roundedRect(cr, 5 * u, 3 * u, width - 10 * u, height - 6 * u, 10 * u);
    cairo_fill(cr);
    cairo_pattern_destroy(glow);
}

void RewardPainter::installedButton(cairo_t* cr, double width, double height)
{
    double r = height / 2 - 1;
    roundedRect(cr, 1, 1, width - 2, height - 3, r);
    vertical(cr, 1, height - 2, rgb255(92, 80, 120), rgb255(64, 54, 92));
    cairo_fill_preserve(cr);
    setColor(cr, white, 0.25);
    cairo_set_line_width(cr, height / 30);
    cairo_stroke(cr);
}

void RewardPainter::creditsButton(cairo_t* cr, double width, double height)
{
    double r = height / 2 - 1;
    roundedRect(cr, 1, 2, width - 2, height - 3, r);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.3);
    cairo_fill(cr);
    roundedRect(cr, 1, 1, width - 2, height - 3, r);
    vertical(cr, 1, height - 2, rgb255(255, 214, 90), rgb255(236, 120, 20));
    cairo_fill_preserve(cr);
    setColor(cr, rgb255(190, 90, 10));
    cairo_set_line_width(cr, height / 30);
    cairo_stroke(cr);
    // Gloss on the upper half.
    roundedRect(cr, 4, 3, width - 8, height * 0.42, r * 0.8);
    setColor(cr, white, 0.3);
    cairo_fill(cr);
}

void RewardPainter::progressBar(cairo_t* cr, double width, double height)
{
    double r = height / 2;
    roundedRect(cr, 0, 0, width, height, r);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, width, 0);
    addColorStop(p, 0, amber);
    addColorStop(p, 1, gold);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    // Diagonal stripes and a gloss line.
    cairo_save(cr);
    roundedRect(cr, 0, 0, width, height, r);
    cairo_clip(cr);
    for (double x = -height; x < width + height; x += height * 1.2) {
        cairo_move_to(cr, x, height);
        cairo_line_to(cr, x + height * 0.5, height);
        cairo_line_to(cr, x + height, 0);
        cairo_line_to(cr, x + height * 0.5, 0);
        cairo_close_path(cr);
    }
    setColor(cr, white, 0.16);
    cairo_fill(cr);
    cairo_rectangle(cr, 0, height * 0.12, width, height * 0.22);
    setColor(cr, white, 0.35);
    cairo_fill(cr);
    cairo_restore(cr);
}

void RewardPainter::progressTrack(cairo_t* cr, double width, double height)
{
    double r = height / 2;
    roundedRect(cr, 0, 0, width, height, r);
    vertical(cr, 0, height, rgb255(12, 6, 30), rgb255(44, 28, 86));
    cairo_fill_preserve(cr);
    setColor(cr, white, 0.3);
    cairo_set_line_width(cr, std::max(0.6, height / 20));
    cairo_stroke(cr);
}

void RewardPainter::backButton(cairo_t* cr, double width, double height)
{
    double r = std::min(width, height) * 0.34, cx = r + height * 0.3, cy = height / 2;
    roundButtonBack(cr, cx, cy, r);
    double k = r * 0.38;
    cairo_move_to(cr, cx + k * 0.45, cy - k);
    cairo_line_to(cr, cx - k * 0.55, cy);
    cairo_line_to(cr, cx + k * 0.45, cy + k);
    setColor(cr, white);
    cairo_set_line_width(cr, r * 0.2);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
}

void RewardPainter::helpButton(cairo_t* cr, double width, double height)
{
    double r = std::min(width, height) * 0.34, cx = width - r - height * 0.3, cy = height / 2;
    roundButtonBack(cr, cx, cy, r);
    drawCentredText(cr, "?", {"DejaVu Sans", r * 1.25, true}, white, cx, cy);
}

void RewardPainter::helpCard(cairo_t* cr, double width, double height)
{
    double u = width / 298, r = 18 * u;
    roundedRect(cr, 2 * u, 4 * u, width - 4 * u, height - 6 * u, r);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_fill(cr);
    roundedRect(cr, 2 * u, 2 * u, width - 4 * u, height - 6 * u, r);
    vertical(cr, 0, height, dusk, night);
    cairo_fill_preserve(cr);
    setColor(cr, gold, 0.8);
    cairo_set_line_width(cr, 2 * u);
    cairo_stroke(cr);
    cairo_save(cr);
    roundedRect(cr, 2 * u, 2 * u, width - 4 * u, height - 6 * u, r);
    cairo_clip(cr);
    sparkles(cr, 0, 0, width, height, 14, 93, u, 0.1);
    cairo_restore(cr);
}

std::vector<ArtworkItem> RewardPainter::items()
{
    std::vector<ArtworkItem> items;
    auto add = [&](const char* name, double w, double h, std::function<void(cairo_t*)> paint) {
        items.push_back({std::string("ad-img/") + name, w, h, std::move(paint)});
    };
    add("ad-reward", 320, 137, [](cairo_t* cr) { header(cr, 320, 137); });
    add("ad-reward-ipad", 768, 1024, [](cairo_t* cr) { page(cr, 768, 1024, 215); });
    // Stretched over the phone's table, the tall phone's the tallest.
    add("ad-bg", 320, 431, [](cairo_t* cr) { tableBackground(cr, 320, 431); });
    add("ad-reward-row", 320, 73, [](cairo_t* cr) { row(cr, 320, 73, false); });
    add("ad-reward-row-2", 320, 73, [](cairo_t* cr) { row(cr, 320, 73, true); });
    add("ad-reward-row-1-ipad", 375, 110, [](cairo_t* cr) { row(cr, 375, 110, false); });
    add("ad-reward-row-2-ipad", 375, 110, [](cairo_t* cr) { row(cr, 375, 110, true); });
    add("ad-reward-free", 57, 30, [](cairo_t* cr) { creditsButton(cr, 57, 30); });
    add("ad-reward-free-ipad", 87, 46, [](cairo_t* cr) { creditsButton(cr, 87, 46); });
    add("ad-reward-installed", 57, 30, [](cairo_t* cr) { installedButton(cr, 57, 30); });
    add("ad-reward-installed-ipad", 87, 46, [](cairo_t* cr) { installedButton(cr, 87, 46); });
    add("ad-reward-progress", 240, 16, [](cairo_t* cr) { progressBar(cr, 240, 16); });
    add("ad-reward-progress-ipad", 566, 35, [](cairo_t* cr) { progressBar(cr, 566, 35); });
    add("ad-reward-track", 240, 16, [](cairo_t* cr) { progressTrack(cr, 240, 16); });
    add("ad-reward-track-ipad", 566, 35, [](cairo_t* cr) { progressTrack(cr, 566, 35); });
    add("ad-back", 58, 44, [](cairo_t* cr) { backButton(cr, 58, 44); });
    add("ad-back-ipad", 98, 54, [](cairo_t* cr) { backButton(cr, 98, 54); });
    add("ad-reward-help", 58, 44, [](cairo_t* cr) { helpButton(cr, 58, 44); });
    add("ad-reward-help-ipad", 96, 54, [](cairo_t* cr) { helpButton(cr, 96, 54); });
    add("ad-reward-bg-help", 298, 389, [](cairo_t* cr) { helpCard(cr, 298, 389); });
    add("ad-reward-bg-help-ipad", 534, 765, [](cairo_t* cr) { helpCard(cr, 534, 765); });
    return items;
}

} // namespace vq::artwork
