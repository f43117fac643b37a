#include "ui/ActivityIndicator.h"

#include "core/RunLoop.h"
#include "core/Timer.h"
#include "graphics/GraphicsContext.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vq {

std::shared_ptr<ActivityIndicator> ActivityIndicator::create(ActivityIndicatorStyle style)
{
    return std::shared_ptr<ActivityIndicator>(new ActivityIndicator(style));
}

ActivityIndicator::ActivityIndicator(ActivityIndicatorStyle style) : _style(style)
{
    Size size = sizeForStyle(style);
    setFrame({0, 0, size.width, size.height});
    setHidden(true);
    setUserInteractionEnabled(false);
}

ActivityIndicator::~ActivityIndicator()
{
    if (_timer)
        _timer->invalidate();
}

Size ActivityIndicator::sizeForStyle(ActivityIndicatorStyle style)
{
    return style == ActivityIndicatorStyle::WhiteLarge ? Size{37, 37} : Size{20, 20};
}

void ActivityIndicator::setStyle(ActivityIndicatorStyle style)
{
    _style = style;
    Size size = sizeForStyle(style);
    Point c = center();
    setFrame({c.x - size.width / 2, c.y - size.height / 2, size.width, size.height});
    setNeedsDisplay();
}

void ActivityIndicator::setColor(std::optional<Color> color)
{
    _color = color;
    setNeedsDisplay();
}

void ActivityIndicator::startAnimating()
{
    if (_timer)
        return;
    std::weak_ptr<View> weak = self();
    _timer = Timer::scheduledTimer(kRevolution / kSpokes, true, [weak](Timer& timer) {
        if (auto v = weak.lock())
            v->setNeedsDisplay();
        else
            timer.invalidate();
    });
    setHidden(false);
    setNeedsDisplay();
}

void ActivityIndicator::stopAnimating()
{
    if (!_timer)
        return;
    _timer->invalidate();
    _timer.reset();
    if (_hidesWhenStopped)
        setHidden(true);
    setNeedsDisplay();
}

void ActivityIndicator::setHidesWhenStopped(bool hides)
{
    _hidesWhenStopped = hides;
    if (!isAnimating())
        setHidden(hides);
}

int ActivityIndicator::leadingSpoke() const
{
    if (!isAnimating())
        return 0;
    // The nudge keeps a clock advanced in exact steps from landing just short of one.
    auto step = static_cast<long long>(std::floor(RunLoop::main().now() * kSpokes / kRevolution + 1e-9));
    return static_cast<int>(((step % kSpokes) + kSpokes) % kSpokes);
}

Size ActivityIndicator::sizeThatFits(Size) const { return sizeForStyle(_style); }

void ActivityIndicator::draw(GraphicsContext& context)
{
    Rect b = bounds();
    Color base = _color.value_or(_style == ActivityIndicatorStyle::Gray ? Color::grayColor() : Color::whiteColor());
    // Always the style's own size, centred: a stretched frame does not make a bigger spinner.
    Size natural = sizeForStyle(_style);
    double outer = std::min(natural.width, natural.height) / 2;
    double inner = outer * 0.5;
    double width = _style == ActivityIndicatorStyle::WhiteLarge ? 3.5 : 2;
    outer -= width / 2;
    Point c = b.center();
    int lead = leadingSpoke();
    for (int i = 0; i < kSpokes; ++i) {
        // Spokes behind the leading one fade out.
        int behind = ((lead - i) % kSpokes + kSpokes) % kSpokes;
        float alpha = std::max(0.25f, 1.0f - static_cast<float>(behind) / kSpokes);
        double angle = i * 2 * std::numbers::pi / kSpokes - std::numbers::pi / 2;
        double dx = std::cos(angle), dy = std::sin(angle);
        context.strokeLine({c.x + dx * inner, c.y + dy * inner}, {c.x + dx * outer, c.y + dy * outer}, width,
                           base.withAlpha(base.a * alpha));
    }
}

} // namespace vq
