#pragma once

#include "ui/View.h"

#include <memory>
#include <optional>

namespace vq {

class ScrollView;
class Timer;

class ScrollViewDelegate {
public:
    virtual ~ScrollViewDelegate() = default;
    // After every change of the content offset.
    virtual void scrollViewDidScroll(ScrollView&) {}
    virtual void scrollViewWillBeginDragging(ScrollView&) {}
    virtual void scrollViewDidEndDragging(ScrollView&) {}
    // For content built only as it scrolls into view: where the subview with
    // that tag is (or would be, once built), in content coordinates.
    virtual std::optional<Rect> rectForSubviewWithTag(ScrollView&, int /*tag*/) { return std::nullopt; }
};

// Shows a part of a larger content: the content offset is the bounds origin.
// A finger drags the content, rubber-banding past the edges when bouncing and
// springing back when let go.
class ScrollView : public View {
public:
    // How far a touch moves before it is a drag rather than a tap.
    static constexpr double kDragThreshold = 10;
    static constexpr double kBounceDuration = 0.3;
    // How long the indicators stay after a drag ends.
    static constexpr double kIndicatorLinger = 0.5;

    static std::shared_ptr<ScrollView> create(Rect frame = {});
    ~ScrollView() override;

    const char* className() const override { return "ScrollView"; }

    Size contentSize() const { return _contentSize; }
    void setContentSize(Size size);
    Point contentOffset() const { return bounds().origin; }
    void setContentOffset(Point offset) { setContentOffset(offset, false); }
    // Animated: the model offset changes at once; the drawn one follows.
    void setContentOffset(Point offset, bool animated);
    // The largest offset that keeps content filling the view (never negative).
    Point maxContentOffset() const;
    // rect in content coordinates; scrolls as little as needed, within range.
    void scrollRectToVisible(Rect rect, bool animated);
    // The offset that shows rect (content coordinates) with as little
    // scrolling as possible, within the scrollable range.
    Point offsetShowing(Rect rect) const;

    bool showsVerticalScrollIndicator() const { return _showsVertical; }
    void setShowsVerticalScrollIndicator(bool shows) { _showsVertical = shows; }
    bool showsHorizontalScrollIndicator() const { return _showsHorizontal; }
    void setShowsHorizontalScrollIndicator(bool shows) { _showsHorizontal = shows; }
    bool bounces() const { return _bounces; }
    void setBounces(bool bounces) { _bounces = bounces; }
    bool alwaysBounceVertical() const { return _alwaysBounceVertical; }
    void setAlwaysBounceVertical(bool bounce) { _alwaysBounceVertical = bounce; }
    bool alwaysBounceHorizontal() const { return _alwaysBounceHorizontal; }
    void setAlwaysBounceHorizontal(bool bounce) { _alwaysBounceHorizontal = bounce; }
    bool isScrollEnabled() const { return _scrollEnabled; }
    void setScrollEnabled(bool enabled) { _scrollEnabled = enabled; }

    bool isDragging() const { return _dragging; }
    // An indicator is on screen (while dragging and shortly after).
    bool isShowingScrollIndicators() const { return _verticalIndicator || _horizontalIndicator; }

    std::shared_ptr<ScrollViewDelegate> delegate() const { return _delegate.lock(); }
    void setDelegate(std::weak_ptr<ScrollViewDelegate> delegate) { _delegate = std::move(delegate); }

    bool capturesDrags() const override;
    void touchesBegan(const Touch& touch) override;
    void touchesMoved(const Touch& touch) override;
    void touchesEnded(const Touch& touch) override;
    void touchesCancelled(const Touch& touch) override;

protected:
    // After every change of the content offset (the model value).
    virtual void contentOffsetDidChange() {}
    // A touch that may still become a tap; points in content coordinates.
    virtual void tapDidBegin(Point) {}
    virtual void tapDidEnd(Point) {}
    virtual void tapDidCancel() {}

protected:
    ScrollView();
    explicit ScrollView(Rect frame);

private:
    bool scrollsVertically() const;
    bool scrollsHorizontally() const;
    double rubberBand(double raw, double max, double dimension) const;
    void beginDrag();
    void endDrag();
    void showIndicators();
    void updateIndicators();
    void hideIndicatorsLater();
    void removeIndicators();

    Size _contentSize;
    bool _showsVertical = true;
    bool _showsHorizontal = true;
    bool _bounces = true;
    bool _alwaysBounceVertical = false;
    bool _alwaysBounceHorizontal = false;
    bool _scrollEnabled = true;

    bool _touchActive = false;
    bool _dragging = false;
    Point _touchStart;
    Point _dragStartOffset;

    std::shared_ptr<View> _verticalIndicator;
    std::shared_ptr<View> _horizontalIndicator;
    std::shared_ptr<Timer> _indicatorTimer;
    std::weak_ptr<ScrollViewDelegate> _delegate;
};

} // namespace vq
