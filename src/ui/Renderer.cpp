#include "ui/Renderer.h"

#include "graphics/CairoOwners.h"
#include "graphics/GraphicsContext.h"
#include "graphics/Image.h"
#include "ui/View.h"
#include "ui/Window.h"

#include <cairo.h>

#include <cmath>
#include <optional>
#include <typeinfo>

namespace vq {

namespace {

bool isVisible(const View& v) { return !v.isHidden() && v.presentationAlpha() > 0; }

Rect unionRect(const Rect& a, const Rect& b)
{
    if (a.isEmpty())
        return b;
    if (b.isEmpty())
        return a;
    double x0 = std::min(a.minX(), b.minX()), y0 = std::min(a.minY(), b.minY());
    double x1 = std::max(a.maxX(), b.maxX()), y1 = std::max(a.maxY(), b.maxY());
    return {x0, y0, x1 - x0, y1 - y0};
}

// A view's bounds coordinates mapped into its superview's: about the bounds'
// centre, by the transform, to the centre point.
AffineTransform toSuperview(const View& v, const Rect& bounds)
{
    Point c = v.presentationCenter();
    return AffineTransform::makeTranslation(-bounds.midX(), -bounds.midY())
        .concat(v.presentationTransform())
        .concat(AffineTransform::makeTranslation(c.x, c.y));
}

// Everything a visible view and its subtree can paint, in its superview's
// coordinates; content never leaves the bounds (it is clipped to them), and
// subviews only extend it when the view does not clip.
Rect paintedExtent(const View& v)
{
    Rect bounds = v.presentationBounds();
    Rect box = bounds;
    if (!v.clipsToBounds()) {
        for (const auto& child : v.subviews())
            if (isVisible(*child))
                box = unionRect(box, paintedExtent(*child));
    }
    return toSuperview(v, bounds).apply(box);
}

void drawView(GraphicsContext& gc, View& view, const Rect& bounds);

void drawSubview(GraphicsContext& gc, View& child)
{
    Rect bounds = child.presentationBounds();
    GraphicsContext::SavedState saved(gc);
    gc.concat(toSuperview(child, bounds));
    drawView(gc, child, bounds);
}

// Draws a view in its own bounds coordinates (the context is already there).
void drawView(GraphicsContext& gc, View& view, const Rect& bounds)
{
    cairo_t* cr = gc.cairo();
    float alpha = view.presentationAlpha();
    bool group = alpha < 1;
    if (group)
        gc.beginTransparencyLayer();

    double radius = view.cornerRadius();
    if (auto bg = view.backgroundColor(); bg && bg->a > 0)
        gc.fillRoundedRect(bounds, radius, *bg);

    std::optional<GraphicsContext::SavedState> clipped;
    if (view.clipsToBounds()) {
        clipped.emplace(gc);
        gc.clipToRoundedRect(bounds, radius);
    }

    // A plain view draws nothing of its own; others draw within their bounds,
    // as into a backing store of that size.
    if (typeid(view) != typeid(View)) {
        GraphicsContext::SavedState saved(gc);
        gc.clipToRect(bounds);
        view.draw(gc);
    }

    const auto& subviews = view.subviews();
    if (!subviews.empty()) {
        double x0, y0, x1, y1;
        cairo_clip_extents(cr, &x0, &y0, &x1, &y1);
        Rect visible{x0, y0, x1 - x0, y1 - y0};
        // By index: drawing must not change the tree, but stay safe if it does.
        for (std::size_t i = 0; i < view.subviews().size(); ++i) {
            std::shared_ptr<View> child = view.subviews()[i];
            if (!isVisible(*child) || !paintedExtent(*child).intersects(visible))
                continue;
            drawSubview(gc, *child);
        }
    }

    if (typeid(view) != typeid(View)) {
        GraphicsContext::SavedState saved(gc);
        gc.clipToRect(bounds);
        view.drawOverSubviews(gc);
    }
    clipped.reset();

    if (view.borderWidth() > 0)
        gc.strokeRoundedRect(bounds, radius, view.borderWidth(), view.borderColor());

    if (group)
        gc.endTransparencyLayer(alpha);
}

std::pair<int, int> canvasPixels(Size size, double scale)
{
    return {static_cast<int>(std::ceil(std::max(0.0, size.width) * scale - 1e-9)),
            static_cast<int>(std::ceil(std::max(0.0, size.height) * scale - 1e-9))};
}

std::shared_ptr<Image> makeCanvas(Size size, double scale, CairoContext& cr)
{
    if (scale <= 0)
        scale = 1;
    auto [w, h] = canvasPixels(size, scale);
    auto image = Image::blank(w, h, scale);
    if (!image)
        return nullptr;
    cr.reset(cairo_create(image->surface()));
    cairo_scale(cr.get(), scale, scale);
    return image;
}

} // namespace

void drawViewTree(GraphicsContext& context, View& view)
{
    view.layoutIfNeeded();
    if (!isVisible(view))
        return;
    Rect bounds = view.presentationBounds();
    GraphicsContext::SavedState saved(context);
    context.translate(-bounds.x(), -bounds.y());
    drawView(context, view, bounds);
}

std::shared_ptr<Image> renderView(View& view, Size size, double scale)
{
    CairoContext cr;
    auto image = makeCanvas(size, scale, cr);
    if (!image)
        return nullptr;
    GraphicsContext gc(cr.get());
    drawViewTree(gc, view);
    cr.reset(); // done drawing before the pixels are read
    cairo_surface_flush(image->surface());
    return image;
}

std::vector<std::uint8_t> renderViewAsJpeg(View& view, Size size, double scale, double quality)
{
    if (scale <= 0)
        scale = 1;
    auto [w, h] = canvasPixels(size, scale);
    return jpegFromBands(w, h, quality, [&](Image& band, int firstRow) {
        CairoContext cr(cairo_create(band.surface()));
        cairo_translate(cr.get(), 0, -firstRow);
        cairo_scale(cr.get(), scale, scale);
        GraphicsContext gc(cr.get());
        drawViewTree(gc, view);
    });
}

std::shared_ptr<Image> renderWindows(const std::vector<std::shared_ptr<Window>>& windows, Size screenSize, double scale)
{
    CairoContext cr;
    auto image = makeCanvas(screenSize, scale, cr);
    if (!image)
        return nullptr;
    GraphicsContext gc(cr.get());
    for (const auto& window : windows) {
        if (!window)
            continue;
        window->layoutIfNeeded();
        if (isVisible(*window))
            drawSubview(gc, *window);
    }
    cr.reset(); // done drawing before the pixels are read
    cairo_surface_flush(image->surface());
    return image;
}

} // namespace vq
