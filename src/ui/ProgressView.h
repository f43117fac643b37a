#pragma once

#include "ui/View.h"

#include <memory>
#include <optional>

namespace vq {

class Image;
class Timer;

enum class ProgressViewStyle { Default, Bar };

// A horizontal bar filled from the left in proportion to progress (0..1).
class ProgressView : public View {
public:
    static constexpr double kAnimationDuration = 0.25;

    static std::shared_ptr<ProgressView> create(ProgressViewStyle style = ProgressViewStyle::Default, Rect frame = {});
    ~ProgressView() override;

    const char* className() const override { return "ProgressView"; }

    ProgressViewStyle progressViewStyle() const { return _style; }
    void setProgressViewStyle(ProgressViewStyle style);
    float progress() const { return _progress; }
    void setProgress(float progress) { setProgress(progress, false); }
    // Animated: the model value changes at once, the drawn bar follows.
    void setProgress(float progress, bool animated);
    // The value drawn now.
    float presentationProgress() const;

    // Both drawn stretched: the track over the whole bar, the progress image over the filled part.
    std::shared_ptr<Image> trackImage() const { return _trackImage; }
    void setTrackImage(std::shared_ptr<Image> image);
    std::shared_ptr<Image> progressImage() const { return _progressImage; }
    void setProgressImage(std::shared_ptr<Image> image);
    // Used where there is no image; nullopt is the style's own colour.
    void setTrackTintColor(std::optional<Color> color);
    void setProgressTintColor(std::optional<Color> color);
    Color trackTintColor() const;
    Color progressTintColor() const;

    // The filled part, in bounds coordinates, for the value drawn now.
    Rect filledRect() const;
    Size sizeThatFits(Size size) const override;
    void draw(GraphicsContext& context) override;

protected:
    explicit ProgressView(ProgressViewStyle style = ProgressViewStyle::Default, Rect frame = {});

private:
    void stopAnimationTimer();

    ProgressViewStyle _style;
    float _progress = 0;
    float _fromProgress = 0;
    double _animationStart = 0;
    bool _animating = false;
    std::shared_ptr<Timer> _animationTimer;
    std::shared_ptr<Image> _trackImage;
    std::shared_ptr<Image> _progressImage;
    std::optional<Color> _trackTint;
    std::optional<Color> _progressTint;
};

} // namespace vq
