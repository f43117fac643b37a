#pragma once

#include <cairo.h>

#include <cstdint>
#include <string_view>

namespace vq::artwork {

struct Rgb {
    double r = 0, g = 0, b = 0;
};

Rgb rgb255(int r, int g, int b);
// A palette colour by swatch number (1..66); mid grey for numbers outside it.
Rgb swatch(int n);
// Swatch of a palette row (0..10) and column (1..6).
Rgb hue(int row, int column);
Rgb mix(Rgb a, Rgb b, double t);

void setColor(cairo_t* cr, Rgb c, double alpha = 1.0);
void addColorStop(cairo_pattern_t* p, double offset, Rgb c, double alpha = 1.0);
void roundedRect(cairo_t* cr, double x, double y, double w, double h, double radius);
void circle(cairo_t* cr, double cx, double cy, double radius);
// A heart centred on (cx, cy), size across.
void heart(cairo_t* cr, double cx, double cy, double size);
// A star with points corners around (cx, cy).
void star(cairo_t* cr, double cx, double cy, double outer, double inner, int points, double rotation);

struct TextStyle {
    const char* family = "DejaVu Sans";
    double size = 10; // in user-space units
    bool bold = false;
    bool italic = false;
};
// Draws one line of text centred on (cx, cy) with Pango.
void drawCentredText(cairo_t* cr, std::string_view text, const TextStyle& style, Rgb colour, double cx, double cy,
                     double alpha = 1.0);

// Drops the thread's Pango font map and its caches; the next text builds
// them again. Called at exit so leak checkers see a clean process.
void releaseFontCaches();

// A small seeded generator, so every run draws the same pictures.
class Random {
public:
    explicit Random(std::uint64_t seed) : _state(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
    std::uint64_t next();
    double uniform(double low = 0, double high = 1);
    int below(int n);

private:
    std::uint64_t _state;
};

} // namespace vq::artwork
