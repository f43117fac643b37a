#pragma once

#include <algorithm>
#include <cmath>

namespace vq {

struct Point {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    Point origin;
    Size size;

    Rect() = default;
    Rect(double x, double y, double w, double h) : origin{x, y}, size{w, h} {}
    Rect(Point o, Size s) : origin(o), size(s) {}

    double x() const { return origin.x; }
    double y() const { return origin.y; }
    double width() const { return size.width; }
    double height() const { return size.height; }
    double minX() const { return std::min(origin.x, origin.x + size.width); }
    double minY() const { return std::min(origin.y, origin.y + size.height); }
    double maxX() const { return std::max(origin.x, origin.x + size.width); }
    double maxY() const { return std::max(origin.y, origin.y + size.height); }
    double midX() const { return origin.x + size.width / 2; }
    double midY() const { return origin.y + size.height / 2; }
    Point center() const { return {midX(), midY()}; }
    bool isEmpty() const { return size.width <= 0 || size.height <= 0; }

    // Half-open on the far edges, as touch hit testing expects.
    bool contains(Point p) const { return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY(); }
    bool intersects(const Rect& r) const
    {
        return !isEmpty() && !r.isEmpty() && minX() < r.maxX() && r.minX() < maxX() && minY() < r.maxY() && r.minY() < maxY();
    }
    Rect intersection(const Rect& r) const
    {
        double x0 = std::max(minX(), r.minX()), y0 = std::max(minY(), r.minY());
        double x1 = std::min(maxX(), r.maxX()), y1 = std::min(maxY(), r.maxY());
        if (x1 <= x0 || y1 <= y0)
            return {};
        return {x0, y0, x1 - x0, y1 - y0};
    }
    Rect offsetBy(double dx, double dy) const { return {origin.x + dx, origin.y + dy, size.width, size.height}; }
    Rect insetBy(double dx, double dy) const { return {origin.x + dx, origin.y + dy, size.width - 2 * dx, size.height - 2 * dy}; }

    friend bool operator==(const Rect&, const Rect&) = default;
};

// An affine transform; views use it for scaling about their centre.
struct AffineTransform {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    static AffineTransform identity() { return {}; }
    static AffineTransform makeScale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
    static AffineTransform makeTranslation(double x, double y) { return {1, 0, 0, 1, x, y}; }

    bool isIdentity() const { return *this == AffineTransform{}; }
    Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    // this, then other.
    AffineTransform concat(const AffineTransform& o) const
    {
        return {a * o.a + b * o.c, a * o.b + b * o.d, c * o.a + d * o.c, c * o.b + d * o.d, tx * o.a + ty * o.c + o.tx,
                tx * o.b + ty * o.d + o.ty};
    }
    AffineTransform inverted() const
    {
        double det = a * d - b * c;
        if (det == 0)
            return *this;
        return {d / det, -b / det, -c / det, a / det, (c * ty - d * tx) / det, (b * tx - a * ty) / det};
    }
    // Bounding box of a transformed rectangle.
    Rect apply(const Rect& r) const
    {
        Point p[4] = {apply(Point{r.minX(), r.minY()}), apply(Point{r.maxX(), r.minY()}), apply(Point{r.minX(), r.maxY()}),
                      apply(Point{r.maxX(), r.maxY()})};
        double x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
        for (auto& q : p) {
            x0 = std::min(x0, q.x);
            x1 = std::max(x1, q.x);
            y0 = std::min(y0, q.y);
            y1 = std::max(y1, q.y);
        }
        return {x0, y0, x1 - x0, y1 - y0};
    }

    friend bool operator==(const AffineTransform&, const AffineTransform&) = default;
};

inline double lerp(double a, double b, double t) { return a + (b - a) * t; }

} // namespace vq
