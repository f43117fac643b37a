#include "ui/View.h"

#include "core/RunLoop.h"
#include "ui/GestureRecognizer.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

#include <algorithm>
#include <atomic>

namespace vq {

namespace {

std::atomic<std::uint64_t> g_displayGeneration{1};

struct AnimationScope {
    double duration = 0;
    int depth = 0;
};
AnimationScope g_scope;
double g_lastAnimationEnd = -1;

double easeInOut(double t) { return t * t * (3 - 2 * t); }

} // namespace

Point View::pointToSuperview(Point p) const
{
    Rect b = bounds();
    Point t = transform().apply(Point{p.x - b.midX(), p.y - b.midY()});
    return {t.x + center().x, t.y + center().y};
}

Point View::pointFromSuperview(Point p) const
{
    Rect b = bounds();
    Point t = transform().inverted().apply(Point{p.x - center().x, p.y - center().y});
    return {t.x + b.midX(), t.y + b.midY()};
}

Point Touch::locationIn(const View& view) const { return view.convertPointFrom(locationInWindow, nullptr); }

Point Touch::previousLocationIn(const View& view) const
{
    return view.convertPointFrom(previousLocationInWindow, nullptr);
}

std::shared_ptr<View> View::create() { return std::shared_ptr<View>(new View()); }

std::shared_ptr<View> View::create(Rect frame) { return std::shared_ptr<View>(new View(frame)); }

View::View() = default;

View::View(Rect frame) { setFrame(frame); }

View::~View()
{
    for (auto& child : _subviews)
        child->_superview.reset();
}

Rect View::frame() const
{
    Rect local{-_bounds.width() / 2, -_bounds.height() / 2, _bounds.width(), _bounds.height()};
    return _transform.apply(local).offsetBy(_center.x, _center.y);
}

void View::setFrame(Rect frame)
{
    double sx = std::abs(_transform.a) > 1e-9 ? std::abs(_transform.a) : 1;
    double sy = std::abs(_transform.d) > 1e-9 ? std::abs(_transform.d) : 1;
    setBounds({_bounds.origin, {frame.width() / sx, frame.height() / sy}});
    setCenter(frame.center());
}

void View::setBounds(Rect bounds)
{
    if (bounds == _bounds)
        return;
    beginAnimation(Property::Bounds);
    bool resized = bounds.size != _bounds.size;
    _bounds = bounds;
    if (resized)
        setNeedsLayout();
    setNeedsDisplay();
}

void View::setCenter(Point center)
{
    if (center == _center)
        return;
    beginAnimation(Property::Center);
    _center = center;
    setNeedsDisplay();
}

void View::setTransform(AffineTransform transform)
{
    if (transform == _transform)
        return;
    beginAnimation(Property::Transform);
    _transform = transform;
    setNeedsDisplay();
}

void View::setAlpha(float alpha)
{
    alpha = std::clamp(alpha, 0.0f, 1.0f);
    if (alpha == _alpha)
        return;
    beginAnimation(Property::Alpha);
    _alpha = alpha;
    setNeedsDisplay();
}

void View::setHidden(bool hidden)
{
    if (hidden == _hidden)
        return;
    _hidden = hidden;
    setNeedsDisplay();
}

void View::setBackgroundColor(std::optional<Color> color)
{
    _backgroundColor = color;
    setNeedsDisplay();
}

void View::setClipsToBounds(bool clips)
{
    _clipsToBounds = clips;
    setNeedsDisplay();
}

void View::setCornerRadius(double radius)
{
    _cornerRadius = std::max(0.0, radius);
    setNeedsDisplay();
}

void View::setBorderWidth(double width)
{
    _borderWidth = std::max(0.0, width);
    setNeedsDisplay();
}

void View::setBorderColor(Color color)
{
    _borderColor = color;
    setNeedsDisplay();
}

void View::setSuperview(const std::shared_ptr<View>& superview) { _superview = superview; }

void View::addSubview(const std::shared_ptr<View>& view) { insertSubview(view, _subviews.size()); }

void View::insertSubview(const std::shared_ptr<View>& view, std::size_t index)
{
    if (!view || view.get() == this || isDescendantOf(*view))
        return;
    auto keep = view;
    auto oldParent = view->superview();
    if (oldParent.get() == this) {
        std::erase(_subviews, view);
    } else if (oldParent) {
        std::erase(oldParent->_subviews, view);
    }
    index = std::min(index, _subviews.size());
    _subviews.insert(_subviews.begin() + static_cast<std::ptrdiff_t>(index), view);
    view->setSuperview(self());
    if (oldParent.get() != this) {
        view->didMoveToSuperview();
        view->notifyMovedToWindow();
    }
    setNeedsDisplay();
}

void View::removeFromSuperview()
{
    auto parent = superview();
    if (!parent)
        return;
    auto keep = self();
    if (isFirstResponder())
        resignFirstResponder();
    std::erase(parent->_subviews, keep);
    _superview.reset();
    didMoveToSuperview();
    notifyMovedToWindow();
    parent->setNeedsDisplay();
}

void View::bringSubviewToFront(const std::shared_ptr<View>& view)
{
    auto it = std::find(_subviews.begin(), _subviews.end(), view);
    if (it == _subviews.end())
        return;
    std::rotate(it, it + 1, _subviews.end());
    setNeedsDisplay();
}

void View::sendSubviewToBack(const std::shared_ptr<View>& view)
{
    auto it = std::find(_subviews.begin(), _subviews.end(), view);
    if (it == _subviews.end())
        return;
    std::rotate(_subviews.begin(), it, it + 1);
    setNeedsDisplay();
}

bool View::isDescendantOf(const View& ancestor) const
{
    for (auto v = self(); v; v = v->superview())
        if (v.get() == &ancestor)
            return true;
    return false;
}

std::shared_ptr<View> View::viewWithTag(int tag)
{
    if (_tag == tag)
        return self();
    for (auto& child : _subviews)
        if (auto found = child->viewWithTag(tag))
            return found;
    return nullptr;
}

std::shared_ptr<Window> View::window() const
{
    auto v = std::const_pointer_cast<View>(self());
    while (auto parent = v->superview())
        v = parent;
    return v->isWindow() ? std::static_pointer_cast<Window>(v) : nullptr;
}

void View::notifyMovedToWindow()
{
    didMoveToWindow();
    for (auto& child : std::vector(_subviews))
        child->notifyMovedToWindow();
}

Point View::convertPointTo(Point p, const View* other) const
{
    const View* v = this;
    while (auto parent = v->superview()) {
        p = v->pointToSuperview(p);
        v = parent.get();
    }
    return other ? other->convertPointFrom(p, nullptr) : p;
}

Point View::convertPointFrom(Point p, const View* other) const
{
    if (other)
        p = other->convertPointTo(p, nullptr);
    std::vector<const View*> chain;
    for (const View* v = this; v->superview(); v = v->superview().get())
        chain.push_back(v);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        p = (*it)->pointFromSuperview(p);
    return p;
}

Rect View::convertRectTo(Rect r, const View* other) const
{
    Point a = convertPointTo({r.minX(), r.minY()}, other);
    Point b = convertPointTo({r.maxX(), r.maxY()}, other);
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::abs(b.x - a.x), std::abs(b.y - a.y)};
}

Rect View::convertRectFrom(Rect r, const View* other) const
{
    Point a = convertPointFrom({r.minX(), r.minY()}, other);
    Point b = convertPointFrom({r.maxX(), r.maxY()}, other);
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::abs(b.x - a.x), std::abs(b.y - a.y)};
}

bool View::pointInside(Point p) const { return _bounds.contains(p); }

std::shared_ptr<View> View::hitTest(Point p)
{
    if (_hidden || !_userInteractionEnabled || _alpha < 0.01f || !isEnabledForTouches())
        return nullptr;
    bool inside = pointInside(p);
    if (_clipsToBounds && !inside)
        return nullptr;
    for (auto it = _subviews.rbegin(); it != _subviews.rend(); ++it) {
        auto& child = *it;
        if (auto hit = child->hitTest(child->pointFromSuperview(p)))
            return hit;
    }
    return inside ? self() : nullptr;
}

void View::touchesBegan(const Touch& touch)
{
    if (auto parent = superview())
        parent->touchesBegan(touch);
}

void View::touchesMoved(const Touch& touch)
{
    if (auto parent = superview())
        parent->touchesMoved(touch);
}

void View::touchesEnded(const Touch& touch)
{
    if (auto parent = superview())
        parent->touchesEnded(touch);
}

void View::touchesCancelled(const Touch& touch)
{
    if (auto parent = superview())
        parent->touchesCancelled(touch);
}

void View::addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer)
{
    if (!recognizer)
        return;
    if (auto old = recognizer->view())
        old->removeGestureRecognizer(recognizer);
    recognizer->_view = self();
    _gestureRecognizers.push_back(recognizer);
}

void View::removeGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer)
{
    if (std::erase(_gestureRecognizers, recognizer))
        recognizer->_view.reset();
}

Size View::sizeThatFits(Size) const { return _bounds.size; }

void View::sizeToFit()
{
    Rect f = frame();
    Size s = sizeThatFits(f.size);
    setFrame({f.origin, s});
}

void View::setNeedsLayout()
{
    _needsLayout = true;
    setNeedsDisplay();
}

void View::layoutIfNeeded()
{
    if (_needsLayout) {
        _needsLayout = false;
        layoutSubviews();
    }
    for (auto& child : std::vector(_subviews))
        child->layoutIfNeeded();
}

void View::draw(GraphicsContext&) {}

void View::setNeedsDisplay() { g_displayGeneration.fetch_add(1, std::memory_order_relaxed); }

std::uint64_t View::displayGeneration() { return g_displayGeneration.load(std::memory_order_relaxed); }

std::shared_ptr<Responder> View::nextResponder() const
{
    if (auto vc = _viewController.lock())
        return vc;
    return superview();
}

// ---- animations ----

void View::animate(double duration, const std::function<void()>& changes, std::function<void(bool)> completion)
{
    AnimationScope saved = g_scope;
    g_scope.duration = std::max(0.0, duration);
    g_scope.depth++;
    if (changes)
        changes();
    g_scope = saved;
    auto& loop = RunLoop::main();
    g_lastAnimationEnd = std::max(g_lastAnimationEnd, loop.now() + duration);
    if (completion)
        loop.performAfter(std::max(0.0, duration), [completion = std::move(completion)] { completion(true); });
}

bool View::isAnimating() { return g_scope.depth > 0; }

void View::beginAnimation(Property property)
{
    if (g_scope.depth == 0 || g_scope.duration <= 0) {
        std::erase_if(_animations, [&](const Animation& a) { return a.property == property; });
        return;
    }
    Animation a{property, RunLoop::main().now(), g_scope.duration, presentationCenter(), presentationBounds(),
                presentationAlpha(), presentationTransform()};
    std::erase_if(_animations, [&](const Animation& x) { return x.property == property; });
    _animations.push_back(a);
}

double View::animationProgress(const Animation& a) const
{
    if (a.duration <= 0)
        return 1;
    double t = (RunLoop::main().now() - a.start) / a.duration;
    return easeInOut(std::clamp(t, 0.0, 1.0));
}

const View::Animation* View::runningAnimation(Property property) const
{
    for (auto& a : _animations)
        if (a.property == property && animationProgress(a) < 1)
            return &a;
    return nullptr;
}

Point View::presentationCenter() const
{
    auto* a = runningAnimation(Property::Center);
    if (!a)
        return _center;
    double t = animationProgress(*a);
    return {lerp(a->fromCenter.x, _center.x, t), lerp(a->fromCenter.y, _center.y, t)};
}

Rect View::presentationBounds() const
{
    auto* a = runningAnimation(Property::Bounds);
    if (!a)
        return _bounds;
    double t = animationProgress(*a);
    const Rect& f = a->fromBounds;
    return {lerp(f.x(), _bounds.x(), t), lerp(f.y(), _bounds.y(), t), lerp(f.width(), _bounds.width(), t),
            lerp(f.height(), _bounds.height(), t)};
}

float View::presentationAlpha() const
{
    auto* a = runningAnimation(Property::Alpha);
    if (!a)
        return _alpha;
    return static_cast<float>(lerp(a->fromAlpha, _alpha, animationProgress(*a)));
}

AffineTransform View::presentationTransform() const
{
    auto* a = runningAnimation(Property::Transform);
    if (!a)
        return _transform;
    double t = animationProgress(*a);
    const auto& f = a->fromTransform;
    return {lerp(f.a, _transform.a, t), lerp(f.b, _transform.b, t), lerp(f.c, _transform.c, t),
            lerp(f.d, _transform.d, t), lerp(f.tx, _transform.tx, t), lerp(f.ty, _transform.ty, t)};
}

Rect View::presentationFrame() const
{
    Rect b = presentationBounds();
    Point c = presentationCenter();
    Rect local{-b.width() / 2, -b.height() / 2, b.width(), b.height()};
    return presentationTransform().apply(local).offsetBy(c.x, c.y);
}

bool View::hasRunningAnimations() const
{
    return std::any_of(_animations.begin(), _animations.end(), [&](const Animation& a) { return animationProgress(a) < 1; });
}

bool View::anyAnimationRunning() { return RunLoop::main().now() < g_lastAnimationEnd; }

} // namespace vq
