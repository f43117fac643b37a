#pragma once

#include "core/Geometry.h"
#include "graphics/Color.h"
#include "ui/Responder.h"
#include "ui/Touch.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vq {

class GestureRecognizer;
class GraphicsContext;
class ViewController;
class Window;

// A rectangle of the screen with its subviews. A parent owns its subviews; a
// child holds a weak parent. Geometry is stored as centre, bounds and
// transform; the frame is derived from them.
class View : public Responder {
public:
    static std::shared_ptr<View> create();
    static std::shared_ptr<View> create(Rect frame);
    ~View() override;
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    std::shared_ptr<View> self() { return std::static_pointer_cast<View>(shared_from_this()); }
    std::shared_ptr<const View> self() const { return std::static_pointer_cast<const View>(shared_from_this()); }
    // The class name shown in view-tree dumps.
    virtual const char* className() const { return "View"; }

    // Geometry (model values; setters inside View::animate animate).
    Rect frame() const;
    virtual void setFrame(Rect frame);
    Rect bounds() const { return _bounds; }
    void setBounds(Rect bounds);
    Point center() const { return _center; }
    void setCenter(Point center);
    AffineTransform transform() const { return _transform; }
    void setTransform(AffineTransform transform);
    float alpha() const { return _alpha; }
    void setAlpha(float alpha);
    bool isHidden() const { return _hidden; }
    void setHidden(bool hidden);
    int tag() const { return _tag; }
    void setTag(int tag) { _tag = tag; }
    bool isUserInteractionEnabled() const { return _userInteractionEnabled; }
    void setUserInteractionEnabled(bool enabled) { _userInteractionEnabled = enabled; }
    // nullopt draws nothing (nil); a clear colour also draws nothing but is a value.
    std::optional<Color> backgroundColor() const { return _backgroundColor; }
    virtual void setBackgroundColor(std::optional<Color> color);
    bool clipsToBounds() const { return _clipsToBounds; }
    void setClipsToBounds(bool clips);

    // Layer properties.
    double cornerRadius() const { return _cornerRadius; }
    void setCornerRadius(double radius);
    double borderWidth() const { return _borderWidth; }
    void setBorderWidth(double width);
    Color borderColor() const { return _borderColor; }
    void setBorderColor(Color color);

    // The tree.
    std::shared_ptr<View> superview() const { return _superview.lock(); }
    const std::vector<std::shared_ptr<View>>& subviews() const { return _subviews; }
    void addSubview(const std::shared_ptr<View>& view);
    void insertSubview(const std::shared_ptr<View>& view, std::size_t index);
    void removeFromSuperview();
    void bringSubviewToFront(const std::shared_ptr<View>& view);
    void sendSubviewToBack(const std::shared_ptr<View>& view);
    bool isDescendantOf(const View& ancestor) const;
    // The view itself first, then its descendants depth-first in subview order.
    std::shared_ptr<View> viewWithTag(int tag);
    std::shared_ptr<Window> window() const;
    virtual bool isWindow() const { return false; }
    virtual void didMoveToSuperview() {}
    virtual void didMoveToWindow() {}

    // A point of this view's bounds in its superview's coordinates, and back, through
    // its center and transform. A window's superview space is the screen.
    Point pointToSuperview(Point p) const;
    Point pointFromSuperview(Point p) const;
    // Coordinates: to and from another view of the same window (nullptr: the window).
    Point convertPointTo(Point p, const View* other) const;
    Point convertPointFrom(Point p, const View* other) const;
    Rect convertRectTo(Rect r, const View* other) const;
    Rect convertRectFrom(Rect r, const View* other) const;

    // Hit testing, p in this view's bounds coordinates: front to back,
    // skipping hidden, transparent-to-touch and disabled views, honouring clipping.
    virtual std::shared_ptr<View> hitTest(Point p);
    virtual bool pointInside(Point p) const;
    // Controls answer false while disabled.
    virtual bool isEnabledForTouches() const { return true; }

    // Touches delivered by the application to the hit view. By default a
    // view passes them up the responder chain's views.
    virtual void touchesBegan(const Touch& touch);
    virtual void touchesMoved(const Touch& touch);
    virtual void touchesEnded(const Touch& touch);
    virtual void touchesCancelled(const Touch& touch);
    // A view that takes over a touch once it becomes a drag (scroll views).
    virtual bool capturesDrags() const { return false; }

    void addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);
    void removeGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);
    const std::vector<std::shared_ptr<GestureRecognizer>>& gestureRecognizers() const { return _gestureRecognizers; }

    // Layout and size.
    virtual Size sizeThatFits(Size size) const;
    void sizeToFit();
    virtual void layoutSubviews() {}
    void setNeedsLayout();
    void layoutIfNeeded();

    // Drawing: content in bounds coordinates, over the background and under the subviews.
    virtual void draw(GraphicsContext& context);
    // Content drawn over the subviews, within the bounds (a text view's text
    // stays readable over pictures placed behind it).
    virtual void drawOverSubviews(GraphicsContext&) {}
    void setNeedsDisplay();
    // Grows with every visible change anywhere; a host redraws when it moved.
    static std::uint64_t displayGeneration();

    // Responder chain: the owning controller of a root view, else the superview.
    std::shared_ptr<Responder> nextResponder() const override;
    std::shared_ptr<ViewController> viewController() const { return _viewController.lock(); }

    // Animations: inside changes the setters of centre, bounds, frame, alpha
    // and transform take their new model value at once and animate the drawn
    // value; completion runs when duration has passed on the run loop's clock.
    static void animate(double duration, const std::function<void()>& changes,
                        std::function<void(bool finished)> completion = {});
    static bool isAnimating(); // inside an animate() changes block
    Point presentationCenter() const;
    Rect presentationBounds() const;
    float presentationAlpha() const;
    AffineTransform presentationTransform() const;
    Rect presentationFrame() const;
    bool hasRunningAnimations() const;
    static bool anyAnimationRunning();

protected:
    // Made only through create() (here and in every subclass), so each one is
    // owned by a shared_ptr and self() always works.
    View();
    explicit View(Rect frame);

private:
    friend class ViewController;
    enum class Property { Center, Bounds, Alpha, Transform };
    struct Animation {
        Property property;
        double start;
        double duration;
        Point fromCenter;
        Rect fromBounds;
        float fromAlpha = 1;
        AffineTransform fromTransform;
    };
    void beginAnimation(Property property);
    const Animation* runningAnimation(Property property) const;
    double animationProgress(const Animation& a) const;
    void setSuperview(const std::shared_ptr<View>& superview);
    void notifyMovedToWindow();

    Point _center;
    Rect _bounds;
    AffineTransform _transform;
    float _alpha = 1;
    bool _hidden = false;
    int _tag = 0;
    bool _userInteractionEnabled = true;
    std::optional<Color> _backgroundColor;
    bool _clipsToBounds = false;
    double _cornerRadius = 0;
    double _borderWidth = 0;
    Color _borderColor = Color::blackColor();
    bool _needsLayout = true;

    std::weak_ptr<View> _superview;
    std::vector<std::shared_ptr<View>> _subviews;
    std::vector<std::shared_ptr<GestureRecognizer>> _gestureRecognizers;
    std::weak_ptr<ViewController> _viewController;
    std::vector<Animation> _animations;
};

} // namespace vq
