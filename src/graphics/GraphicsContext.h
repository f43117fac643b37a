#pragma once

#include "core/Geometry.h"
#include "graphics/Color.h"

typedef struct _cairo cairo_t;

namespace vq {

class Image;

// Drawing in points on a Cairo context. Views draw their content through it.
class GraphicsContext {
public:
    explicit GraphicsContext(cairo_t* cr) : _cr(cr) {}
    cairo_t* cairo() const { return _cr; }

    // Saves the drawing state (transform, clip) and restores it when it goes.
    class SavedState {
    public:
        explicit SavedState(GraphicsContext& context);
        ~SavedState();
        SavedState(const SavedState&) = delete;
        SavedState& operator=(const SavedState&) = delete;

    private:
        cairo_t* _cr;
    };

    void translate(double dx, double dy);
    void concat(const AffineTransform& transform);

    void clipToRect(Rect rect);
    void clipToRoundedRect(Rect rect, double radius);

    void fillRect(Rect rect, Color color);
    void fillRoundedRect(Rect rect, double radius, Color color);
    // A border drawn inside the rectangle's edge.
    void strokeRoundedRect(Rect rect, double radius, double width, Color color);
    void strokeLine(Point from, Point to, double width, Color color);
    void fillEllipse(Rect rect, Color color);

    // The image scaled to fill rect.
    void drawImage(const Image& image, Rect rect, float alpha = 1);

    // Everything drawn between begin and end is composited at alpha.
    void beginTransparencyLayer();
    void endTransparencyLayer(float alpha);

private:
    cairo_t* _cr;
};

} // namespace vq
