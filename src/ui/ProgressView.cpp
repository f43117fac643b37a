#include "ui/ProgressView.h"

#include "core/RunLoop.h"
#include "core/Timer.h"
#include "graphics/GraphicsContext.h"
#include "graphics/Image.h"

#include <algorithm>
#include <cmath>

namespace vq {

namespace {

constexpr double kFrameInterval = 1.0 / 60;

float clampProgress(float value) { return std::isnan(value) ? 0.0f : std::clamp(value, 0.0f, 1.0f); }

} // namespace

std::shared_ptr<ProgressView> ProgressView::create(ProgressViewStyle style, Rect frame)
{
    return std::shared_ptr<ProgressView>(new ProgressView(style, frame));
}

ProgressView::ProgressView(ProgressViewStyle style, Rect frame) : View(frame), _style(style) {}

ProgressView::~ProgressView() { stopAnimationTimer(); }

void ProgressView::setProgressViewStyle(ProgressViewStyle style)
{
    _style = style;
    setNeedsDisplay();
}

void ProgressView::stopAnimationTimer()
{
    if (_animationTimer)
        _animationTimer->invalidate();
    _animationTimer.reset();
}

void ProgressView::setProgress(float progress, bool animated)
{
    progress = clampProgress(progress);
    float from = presentationProgress();
    _progress = progress;
    stopAnimationTimer();
    _animating = animated && from != progress;
    if (_animating) {
        _fromProgress = from;
        _animationStart = RunLoop::main().now();
        // Nothing else redraws the bar while it moves.
        std::weak_ptr<View> weak = self();
        _animationTimer = Timer::scheduledTimer(kFrameInterval, true, [weak](Timer& timer) {
            auto v = std::static_pointer_cast<ProgressView>(weak.lock());
            if (!v) {
                timer.invalidate();
                return;
            }
            v->setNeedsDisplay();
            if (RunLoop::main().now() - v->_animationStart >= kAnimationDuration) {
                v->_animating = false;
                v->stopAnimationTimer();
            }
        });
    }
    setNeedsDisplay();
}

float ProgressView::presentationProgress() const
{
    if (!_animating)
        return _progress;
    double t = std::clamp((RunLoop::main().now() - _animationStart) / kAnimationDuration, 0.0, 1.0);
    return static_cast<float>(lerp(_fromProgress, _progress, t));
}

void ProgressView::setTrackImage(std::shared_ptr<Image> image)
{
    _trackImage = std::move(image);
    setNeedsDisplay();
}

void ProgressView::setProgressImage(std::shared_ptr<Image> image)
{
    _progressImage = std::move(image);
    setNeedsDisplay();
}

void ProgressView::setTrackTintColor(std::optional<Color> color)
{
    _trackTint = color;
    setNeedsDisplay();
}

void ProgressView::setProgressTintColor(std::optional<Color> color)
{
    _progressTint = color;
    setNeedsDisplay();
}

Color ProgressView::trackTintColor() const
{
    if (_trackTint)
        return *_trackTint;
    return _style == ProgressViewStyle::Bar ? Color::clearColor() : Color::rgb255(183, 183, 183);
}

Color ProgressView::progressTintColor() const { return _progressTint.value_or(Color::rgb255(0, 122, 255)); }

Rect ProgressView::filledRect() const
{
    Rect b = bounds();
    return {b.x(), b.y(), b.width() * presentationProgress(), b.height()};
}

Size ProgressView::sizeThatFits(Size size) const
{
    return {size.width, _style == ProgressViewStyle::Bar ? 2.5 : 2.0};
}

void ProgressView::draw(GraphicsContext& context)
{
    Rect b = bounds();
    if (_trackImage)
        context.drawImage(*_trackImage, b);
    else
        context.fillRect(b, trackTintColor());
    Rect filled = filledRect();
    if (filled.isEmpty())
        return;
    if (_progressImage)
        context.drawImage(*_progressImage, filled);
    else
        context.fillRect(filled, progressTintColor());
}

} // namespace vq
