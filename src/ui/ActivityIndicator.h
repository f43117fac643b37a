#pragma once

#include "ui/View.h"

#include <memory>
#include <optional>

namespace vq {

class Timer;

enum class ActivityIndicatorStyle { WhiteLarge, White, Gray };

// A ring of spokes whose bright spoke goes round while animating.
class ActivityIndicator : public View {
public:
    static constexpr int kSpokes = 12;
    // Seconds for the bright spoke to go once round.
    static constexpr double kRevolution = 1.0;

    static std::shared_ptr<ActivityIndicator> create(ActivityIndicatorStyle style = ActivityIndicatorStyle::White);
    ~ActivityIndicator() override;

    const char* className() const override { return "ActivityIndicator"; }

    ActivityIndicatorStyle style() const { return _style; }
    // Also resizes the view to the style's size, keeping its centre.
    void setStyle(ActivityIndicatorStyle style);
    static Size sizeForStyle(ActivityIndicatorStyle style);
    std::optional<Color> color() const { return _color; }
    void setColor(std::optional<Color> color);

    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return _timer != nullptr; }
    // Hidden while stopped (so, at first, too).
    bool hidesWhenStopped() const { return _hidesWhenStopped; }
    void setHidesWhenStopped(bool hides);

    // The brightest spoke, 0 at twelve o'clock going clockwise, from the run loop's clock.
    int leadingSpoke() const;
    Size sizeThatFits(Size size) const override;
    void draw(GraphicsContext& context) override;

protected:
    explicit ActivityIndicator(ActivityIndicatorStyle style = ActivityIndicatorStyle::White);

private:
    ActivityIndicatorStyle _style;
    std::optional<Color> _color;
    bool _hidesWhenStopped = true;
    std::shared_ptr<Timer> _timer;
};

} // namespace vq
