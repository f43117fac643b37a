#include "ui/ScrollView.h"

#include "core/RunLoop.h"

#include <algorithm>
#include <cmath>

namespace vq {

namespace {

constexpr double kIndicatorThickness = 2.5;
constexpr double kIndicatorInset = 2.5;
constexpr double kIndicatorMinLength = 7;

// The resistance past an edge grows with the overshoot, never passing dimension.
double resist(double overshoot, double dimension)
{
    if (dimension <= 0)
        return 0;
    return (1 - 1 / (overshoot * 0.55 / dimension + 1)) * dimension;
}

} // namespace

std::shared_ptr<ScrollView> ScrollView::create(Rect frame) { return std::shared_ptr<ScrollView>(new ScrollView(frame)); }

ScrollView::ScrollView() { setClipsToBounds(true); }

ScrollView::ScrollView(Rect frame) : View(frame) { setClipsToBounds(true); }

ScrollView::~ScrollView()
{
    if (_indicatorTimer)
        _indicatorTimer->invalidate();
}

void ScrollView::setContentSize(Size size)
{
    if (size == _contentSize)
        return;
    _contentSize = size;
    if (_verticalIndicator || _horizontalIndicator)
        updateIndicators();
    setNeedsDisplay();
}

Point ScrollView::maxContentOffset() const
{
    Size b = bounds().size;
    return {std::max(0.0, _contentSize.width - b.width), std::max(0.0, _contentSize.height - b.height)};
}

void ScrollView::setContentOffset(Point offset, bool animated)
{
    Rect b = bounds();
    if (offset == b.origin)
        return;
    Rect target{offset, b.size};
    if (animated) {
        std::weak_ptr<View> weak = self();
        View::animate(kBounceDuration, [&] { setBounds(target); },
                      [weak](bool) {
                          // What was passed over during the animation may now be off screen.
                          if (auto v = weak.lock())
                              std::static_pointer_cast<ScrollView>(v)->contentOffsetDidChange();
                      });
    } else {
        setBounds(target);
    }
    if (_verticalIndicator || _horizontalIndicator)
        updateIndicators();
    contentOffsetDidChange();
    if (auto d = delegate())
        d->scrollViewDidScroll(*this);
}

Point ScrollView::offsetShowing(Rect rect) const
{
    Rect b = bounds();
    auto axis = [](double current, double lo, double hi, double visible) {
        if (lo < current || hi - lo > visible)
            return lo;
        if (hi > current + visible)
            return hi - visible;
        return current;
    };
    Point max = maxContentOffset();
    return {std::clamp(axis(b.origin.x, rect.minX(), rect.maxX(), b.width()), 0.0, max.x),
            std::clamp(axis(b.origin.y, rect.minY(), rect.maxY(), b.height()), 0.0, max.y)};
}

void ScrollView::scrollRectToVisible(Rect rect, bool animated) { setContentOffset(offsetShowing(rect), animated); }

bool ScrollView::scrollsVertically() const
{
    return _scrollEnabled && (_contentSize.height > bounds().height() || (_bounces && _alwaysBounceVertical));
}

bool ScrollView::scrollsHorizontally() const
{
    return _scrollEnabled && (_contentSize.width > bounds().width() || (_bounces && _alwaysBounceHorizontal));
}

bool ScrollView::capturesDrags() const { return scrollsVertically() || scrollsHorizontally(); }

double ScrollView::rubberBand(double raw, double max, double dimension) const
{
    if (!_bounces)
        return std::clamp(raw, 0.0, max);
    if (raw < 0)
        return -resist(-raw, dimension);
    if (raw > max)
        return max + resist(raw - max, dimension);
    return raw;
}

void ScrollView::touchesBegan(const Touch& touch)
{
    // A finger stops a bounce where it is now on screen.
    if (hasRunningAnimations())
        setContentOffset(presentationBounds().origin, false);
    _touchActive = true;
    _dragging = false;
    _touchStart = touch.locationInWindow;
    _dragStartOffset = contentOffset();
    tapDidBegin(touch.locationIn(*this));
}

void ScrollView::touchesMoved(const Touch& touch)
{
    if (!_touchActive) {
        // Handed over mid-touch by a subview: the content has not moved yet.
        _touchActive = true;
        _touchStart = touch.startLocationInWindow;
        _dragStartOffset = contentOffset();
    }
    Point p = touch.locationInWindow;
    if (!_dragging) {
        if (!capturesDrags() || std::hypot(p.x - _touchStart.x, p.y - _touchStart.y) <= kDragThreshold)
            return;
        beginDrag();
    }
    Point max = maxContentOffset();
    Point offset = contentOffset();
    if (scrollsHorizontally())
        offset.x = rubberBand(_dragStartOffset.x - (p.x - _touchStart.x), max.x, bounds().width());
    if (scrollsVertically())
        offset.y = rubberBand(_dragStartOffset.y - (p.y - _touchStart.y), max.y, bounds().height());
    setContentOffset(offset, false);
}

void ScrollView::touchesEnded(const Touch& touch)
{
    bool wasTap = _touchActive && !_dragging;
    _touchActive = false;
    if (_dragging)
        endDrag();
    else if (wasTap)
        tapDidEnd(touch.locationIn(*this));
}

void ScrollView::touchesCancelled(const Touch&)
{
    bool wasTap = _touchActive && !_dragging;
    _touchActive = false;
    if (_dragging)
        endDrag();
    else if (wasTap)
        tapDidCancel();
}

void ScrollView::beginDrag()
{
    _dragging = true;
    tapDidCancel();
    showIndicators();
    if (auto d = delegate())
        d->scrollViewWillBeginDragging(*this);
}

void ScrollView::endDrag()
{
    _dragging = false;
    Point offset = contentOffset();
    Point max = maxContentOffset();
    Point settled{std::clamp(offset.x, 0.0, max.x), std::clamp(offset.y, 0.0, max.y)};
    if (settled != offset)
        setContentOffset(settled, true);
    if (auto d = delegate())
        d->scrollViewDidEndDragging(*this);
    hideIndicatorsLater();
}

void ScrollView::showIndicators()
{
    if (_indicatorTimer) {
        _indicatorTimer->invalidate();
        _indicatorTimer.reset();
    }
    auto make = [this](std::shared_ptr<View>& indicator) {
        if (indicator)
            return;
        indicator = View::create();
        indicator->setBackgroundColor(Color::blackColor().withAlpha(0.35f));
        indicator->setCornerRadius(kIndicatorThickness / 2);
        indicator->setUserInteractionEnabled(false);
        addSubview(indicator);
    };
    if (_showsVertical && scrollsVertically())
        make(_verticalIndicator);
    if (_showsHorizontal && scrollsHorizontally())
        make(_horizontalIndicator);
    updateIndicators();
}

void ScrollView::updateIndicators()
{
    Rect b = bounds();
    Point max = maxContentOffset();
    // Length in proportion to the part shown, shortened while past an edge.
    auto place = [](double offset, double maxOffset, double visible, double content) {
        double track = visible - 2 * kIndicatorInset;
        double length = content > 0 ? track * std::min(1.0, visible / content) : track;
        double over = offset < 0 ? -offset : std::max(0.0, offset - maxOffset);
        length = std::max(kIndicatorMinLength, length - over);
        double fraction = maxOffset > 0 ? std::clamp(offset / maxOffset, 0.0, 1.0) : 0;
        return std::pair{kIndicatorInset + fraction * (track - length), length};
    };
    if (_verticalIndicator) {
        auto [pos, length] = place(b.y(), max.y, b.height(), _contentSize.height);
        _verticalIndicator->setFrame({b.maxX() - kIndicatorInset - kIndicatorThickness, b.y() + pos, kIndicatorThickness, length});
        bringSubviewToFront(_verticalIndicator);
    }
    if (_horizontalIndicator) {
        auto [pos, length] = place(b.x(), max.x, b.width(), _contentSize.width);
        _horizontalIndicator->setFrame({b.x() + pos, b.maxY() - kIndicatorInset - kIndicatorThickness, length, kIndicatorThickness});
        bringSubviewToFront(_horizontalIndicator);
    }
}

void ScrollView::hideIndicatorsLater()
{
    if (!_verticalIndicator && !_horizontalIndicator)
        return;
    std::weak_ptr<View> weak = self();
    _indicatorTimer = RunLoop::main().performAfter(kIndicatorLinger, [weak] {
        if (auto v = weak.lock())
            std::static_pointer_cast<ScrollView>(v)->removeIndicators();
    });
}

void ScrollView::removeIndicators()
{
    _indicatorTimer.reset();
    if (_verticalIndicator)
        _verticalIndicator->removeFromSuperview();
    if (_horizontalIndicator)
        _horizontalIndicator->removeFromSuperview();
    _verticalIndicator.reset();
    _horizontalIndicator.reset();
}

} // namespace vq
