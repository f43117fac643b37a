#include "graphics/GraphicsContext.h"

#include "graphics/Image.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

namespace vq {

namespace {

void roundedRectPath(cairo_t* cr, Rect r, double radius)
{
    double x = r.minX(), y = r.minY(), w = std::abs(r.width()), h = std::abs(r.height());
    radius = std::clamp(radius, 0.0, std::min(w, h) / 2);
    if (radius <= 0) {
        cairo_rectangle(cr, x, y, w, h);
        return;
    }
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - radius, y + radius, radius, -M_PI / 2, 0);
    cairo_arc(cr, x + w - radius, y + h - radius, radius, 0, M_PI / 2);
    cairo_arc(cr, x + radius, y + h - radius, radius, M_PI / 2, M_PI);
    cairo_arc(cr, x + radius, y + radius, radius, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

void setColor(cairo_t* cr, Color c) { cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a); }

} // namespace

GraphicsContext::SavedState::SavedState(GraphicsContext& context) : _cr(context._cr) { cairo_save(_cr); }

GraphicsContext::SavedState::~SavedState() { cairo_restore(_cr); }

void GraphicsContext::translate(double dx, double dy) { cairo_translate(_cr, dx, dy); }

void GraphicsContext::concat(const AffineTransform& t)
{
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    cairo_transform(_cr, &m);
}

void GraphicsContext::clipToRect(Rect rect)
{
    cairo_new_path(_cr);
    cairo_rectangle(_cr, rect.minX(), rect.minY(), std::abs(rect.width()), std::abs(rect.height()));
    cairo_clip(_cr);
}

void GraphicsContext::clipToRoundedRect(Rect rect, double radius)
{
    cairo_new_path(_cr);
    roundedRectPath(_cr, rect, radius);
    cairo_clip(_cr);
}

void GraphicsContext::fillRect(Rect rect, Color color)
{
    if (color.a <= 0)
        return;
    cairo_new_path(_cr);
    cairo_rectangle(_cr, rect.minX(), rect.minY(), std::abs(rect.width()), std::abs(rect.height()));
    setColor(_cr, color);
    cairo_fill(_cr);
}

void GraphicsContext::fillRoundedRect(Rect rect, double radius, Color color)
{
    if (color.a <= 0)
        return;
    cairo_new_path(_cr);
    roundedRectPath(_cr, rect, radius);
    setColor(_cr, color);
    cairo_fill(_cr);
}

void GraphicsContext::strokeRoundedRect(Rect rect, double radius, double width, Color color)
{
    if (width <= 0 || color.a <= 0)
        return;
    double w = std::abs(rect.width()), h = std::abs(rect.height());
    width = std::min(width, std::min(w, h) / 2);
    if (width <= 0)
        return;
    // The stroke's centre line runs half a width inside the edge, so the whole border is inside.
    Rect inner{rect.minX() + width / 2, rect.minY() + width / 2, w - width, h - width};
    cairo_new_path(_cr);
    roundedRectPath(_cr, inner, std::max(0.0, radius - width / 2));
    cairo_set_line_width(_cr, width);
    setColor(_cr, color);
    cairo_stroke(_cr);
}

void GraphicsContext::strokeLine(Point from, Point to, double width, Color color)
{
    if (width <= 0 || color.a <= 0)
        return;
    cairo_new_path(_cr);
    cairo_move_to(_cr, from.x, from.y);
    cairo_line_to(_cr, to.x, to.y);
    cairo_set_line_width(_cr, width);
    setColor(_cr, color);
    cairo_stroke(_cr);
}

void GraphicsContext::fillEllipse(Rect rect, Color color)
{
    if (color.a <= 0 || rect.isEmpty())
        return;
    cairo_new_path(_cr);
    {
        // The path keeps the ellipse; the scaling goes with the scope.
        SavedState unit(*this);
        cairo_translate(_cr, rect.midX(), rect.midY());
        cairo_scale(_cr, rect.width() / 2, rect.height() / 2);
        cairo_arc(_cr, 0, 0, 1, 0, 2 * M_PI);
    }
    setColor(_cr, color);
    cairo_fill(_cr);
}

void GraphicsContext::drawImage(const Image& image, Rect rect, float alpha)
{
    cairo_surface_t* surface = image.surface();
    int pw = image.pixelWidth(), ph = image.pixelHeight();
    if (!surface || pw <= 0 || ph <= 0 || rect.isEmpty() || alpha <= 0)
        return;
    SavedState saved(*this);
    cairo_new_path(_cr);
    cairo_translate(_cr, rect.minX(), rect.minY());
    cairo_scale(_cr, rect.width() / pw, rect.height() / ph);
    cairo_set_source_surface(_cr, surface, 0, 0);
    cairo_pattern_t* pattern = cairo_get_source(_cr);
    // Pad, so the edges of a scaled image stay solid instead of fading out.
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    // Pixel-exact placements need no filtering; enlarged or mildly shrunk ones get
    // bilinear smoothing (down to half size, where it still samples every other
    // pixel); strongly shrunk ones a proper, much slower, downscaling filter.
    cairo_matrix_t device;
    cairo_get_matrix(_cr, &device);
    bool exact = std::abs(device.xx - 1) < 1e-9 && std::abs(device.yy - 1) < 1e-9 && device.xy == 0 && device.yx == 0 &&
                 std::abs(device.x0 - std::round(device.x0)) < 1e-9 && std::abs(device.y0 - std::round(device.y0)) < 1e-9;
    double shrink = std::min(std::hypot(device.xx, device.yx), std::hypot(device.xy, device.yy));
    cairo_pattern_set_filter(pattern, exact ? CAIRO_FILTER_NEAREST : shrink < 0.5 ? CAIRO_FILTER_GOOD : CAIRO_FILTER_BILINEAR);
    cairo_rectangle(_cr, 0, 0, pw, ph);
    if (alpha >= 1) {
        cairo_fill(_cr);
    } else {
        cairo_clip(_cr);
        cairo_paint_with_alpha(_cr, alpha);
    }
}

void GraphicsContext::beginTransparencyLayer() { cairo_push_group(_cr); }

void GraphicsContext::endTransparencyLayer(float alpha)
{
    cairo_pop_group_to_source(_cr);
    cairo_paint_with_alpha(_cr, std::clamp(alpha, 0.0f, 1.0f));
    // Leave no pattern holding the group's surface.
    cairo_set_source_rgb(_cr, 0, 0, 0);
}

} // namespace vq
