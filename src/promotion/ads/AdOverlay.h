#pragma once

#include "core/Geometry.h"

#include <functional>
#include <memory>

namespace vq {

class Button;
class View;

// The full-screen overlay the big ad and the wall share: a root view tagged
// kRootTag for the key window, a black dimmer under a card, the drop-in
// from above with its bounce and the fly-out. The presenter builds the
// card's contents and decides where the card comes to rest.
class AdOverlay : public std::enable_shared_from_this<AdOverlay> {
public:
    static constexpr int kRootTag = 457260342;
    static constexpr float kMaskAlpha = 0.3f;
    static constexpr double kFadeSeconds = 0.3;
    static constexpr double kDropSeconds = 0.2;
    static constexpr double kHideSeconds = 0.3;

    // Root (0, 0, W, H + 20) of the application frame W x H, the dimmer over
    // its bounds, the card of that size parked above the screen.
    static std::shared_ptr<AdOverlay> create(Size cardSize);
    ~AdOverlay();

    const std::shared_ptr<View>& rootView() const { return _root; }
    // Dark and untouchable at first; taps reach onMaskTap once the first
    // drop-in is nearly over, and every time after that.
    const std::shared_ptr<Button>& maskView() const { return _mask; }
    const std::shared_ptr<View>& cardView() const { return _card; }
    void setOnMaskTap(std::function<void()> action) { _onMaskTap = std::move(action); }

    // The card's close and get buttons, for whoever drives the overlay from outside.
    void setCloseButton(const std::shared_ptr<Button>& button) { _closeButton = button; }
    void setGetButton(const std::shared_ptr<Button>& button) { _getButton = button; }
    std::shared_ptr<Button> closeButton() const { return _closeButton.lock(); }
    std::shared_ptr<Button> getButton() const { return _getButton.lock(); }

    // Puts the root on the key window, fades the dimmer in and drops the
    // card to centre y targetY with a bounce (0.36 s in all).
    void dropIn(double targetY);
    // Fades the dimmer out and flies the card out over the top edge; at the
    // end the card is parked again and the root leaves its window. Nothing
    // when the root is on no window or already flying out.
    void flyOut();
    bool isOnScreen() const;

    // The application frame of now (the screen less a visible status bar).
    static Rect applicationFrame();
    // The card's resting centre y when centred on the root, which reaches 20
    // points below the application frame.
    static double rootMiddleY() { return (applicationFrame().height() + 20) / 2; }
    // The overlay whose root is frontmost on the key window, if any.
    static std::shared_ptr<AdOverlay> frontmostOnScreen();

private:
    AdOverlay() = default;
    void build(Size cardSize);
    void bounce(unsigned generation);

    std::shared_ptr<View> _root;
    std::shared_ptr<Button> _mask;
    std::shared_ptr<View> _card;
    std::weak_ptr<Button> _closeButton;
    std::weak_ptr<Button> _getButton;
    std::function<void()> _onMaskTap;
    // Each show and hide starts a new one; steps of an older one stop.
    unsigned _generation = 0;
    bool _flyingOut = false;
};

} // namespace vq
