#include "promotion/ads/AdOverlay.h"

#include "graphics/Color.h"
#include "graphics/Screen.h"
#include "promotion/Gobals.h"
#include "system/Application.h"
#include "ui/Button.h"
#include "ui/View.h"
#include "ui/Window.h"

#include <algorithm>
#include <vector>

namespace vq {

namespace {

std::vector<std::weak_ptr<AdOverlay>>& liveOverlays()
{
    static std::vector<std::weak_ptr<AdOverlay>> overlays;
    return overlays;
}

} // namespace

std::shared_ptr<AdOverlay> AdOverlay::create(Size cardSize)
{
    auto overlay = std::shared_ptr<AdOverlay>(new AdOverlay());
    overlay->build(cardSize);
    auto& live = liveOverlays();
    std::erase_if(live, [](const auto& w) { return w.expired(); });
    live.push_back(overlay);
    return overlay;
}

AdOverlay::~AdOverlay()
{
    if (_root)
        _root->removeFromSuperview();
}

Rect AdOverlay::applicationFrame() { return Screen::main().applicationFrame(); }

void AdOverlay::build(Size cardSize)
{
    Rect app = applicationFrame();
    double w = app.width(), h = app.height();
    _root = View::create({0, 0, w, h + 20});
    _root->setTag(kRootTag);

    _mask = Button::create(_root->bounds());
    _mask->setBackgroundColor(Color::blackColor());
    _mask->setAlpha(0);
    _mask->setUserInteractionEnabled(false);
    std::weak_ptr<AdOverlay> weak = weak_from_this();
    _mask->addAction(ControlEvent::TouchUpInside, [weak] {
        if (auto self = weak.lock(); self && self->_onMaskTap)
            self->_onMaskTap();
    });
    _root->addSubview(_mask);

    _card = View::create({0, 0, cardSize.width, cardSize.height});
    _card->setCenter({w / 2, -(h + 20) / 2});
    _root->addSubview(_card);
}

bool AdOverlay::isOnScreen() const { return _root->window() != nullptr; }

void AdOverlay::dropIn(double targetY)
{
    unsigned generation = ++_generation;
    _flyingOut = false;
    Gobals::addRootViewToWindow(_root);
    auto mask = _mask;
    View::animate(kFadeSeconds, [mask] { mask->setAlpha(kMaskAlpha); });
    auto card = _card;
    std::weak_ptr<AdOverlay> weak = weak_from_this();
    View::animate(
        kDropSeconds, [card, targetY] { card->setCenter({card->center().x, targetY}); },
        [weak, generation](bool) {
            if (auto self = weak.lock())
                self->bounce(generation);
        });
}

void AdOverlay::bounce(unsigned generation)
{
    if (generation != _generation)
        return;
    std::weak_ptr<AdOverlay> weak = weak_from_this();
    auto card = _card;
    auto moveBy = [card](double dy) {
        return [card, dy] { card->setCenter({card->center().x, card->center().y + dy}); };
    };
    auto live = [weak, generation]() -> std::shared_ptr<AdOverlay> {
        auto self = weak.lock();
        return self && self->_generation == generation ? self : nullptr;
    };
    View::animate(0.08, moveBy(-10), [live, moveBy](bool) {
        if (!live())
            return;
        View::animate(0.05, moveBy(5), [live, moveBy](bool) {
            auto self = live();
            if (!self)
                return;
            self->_mask->setUserInteractionEnabled(true);
            View::animate(0.03, moveBy(5));
        });
    });
}

void AdOverlay::flyOut()
{
    // A second fly-out would turn the card's negative centre back down.
    if (!isOnScreen() || _flyingOut)
        return;
    _flyingOut = true;
    unsigned generation = ++_generation;
    auto mask = _mask;
    auto card = _card;
    View::animate(
        kHideSeconds,
        [mask, card] {
            mask->setAlpha(0);
            card->setCenter({card->center().x, -card->center().y});
        },
        [weak = weak_from_this(), generation](bool) {
            auto self = weak.lock();
            if (!self || self->_generation != generation)
                return;
            self->_flyingOut = false;
            Rect app = applicationFrame();
            self->_card->setCenter({app.width() / 2, -app.height() / 2});
            self->_root->setFrame(app);
            self->_root->removeFromSuperview();
        });
}

std::shared_ptr<AdOverlay> AdOverlay::frontmostOnScreen()
{
    auto window = Application::shared().keyWindow();
    if (!window)
        return nullptr;
    std::shared_ptr<AdOverlay> best;
    std::ptrdiff_t bestIndex = -1;
    const auto& subviews = window->subviews();
    for (const auto& weak : liveOverlays()) {
        auto overlay = weak.lock();
        if (!overlay)
            continue;
        auto it = std::find(subviews.begin(), subviews.end(), overlay->_root);
        if (it == subviews.end())
            continue;
        if (auto index = it - subviews.begin(); index > bestIndex) {
            bestIndex = index;
            best = overlay;
        }
    }
    return best;
}

} // namespace vq
