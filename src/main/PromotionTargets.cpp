#include "main/PromotionTargets.h"

#include "main/NamedScriptTargets.h"
#include "main/ScreenGeometry.h"

#include "promotion/ads/AdOverlay.h"
#include "promotion/ads/RewardAd.h"
#include "promotion/PromotionUnit.h"
#include "ui/Button.h"

namespace vq {

namespace {

// The reward wall the promotion unit shows, while its page is in a window.
std::shared_ptr<RewardAd> rewardOnScreen()
{
    auto unit = PromotionUnit::currentInstance();
    auto ad = unit ? std::dynamic_pointer_cast<RewardAd>(unit->lastAd()) : nullptr;
    return ad && ad->view() && ad->view()->window() ? ad : nullptr;
}

void addRewardTargets(NamedScriptTargets& targets)
{
    targets.add("ad-back", []() -> std::shared_ptr<View> {
        auto ad = rewardOnScreen();
        return ad ? ad->backButton() : nullptr;
    });
    targets.add("ad-help", []() -> std::shared_ptr<View> {
        auto ad = rewardOnScreen();
        return ad ? ad->helpButton() : nullptr;
    });
    targets.add("help-close", []() -> std::shared_ptr<View> {
        auto ad = rewardOnScreen();
        return ad ? ad->helpCloseButton() : nullptr;
    });
    targets.add("help-mask", []() -> std::shared_ptr<View> {
        auto ad = rewardOnScreen();
        return ad ? ad->helpMaskView() : nullptr;
    });
    // The dimmer shows around the help card: tap it in the larger gap, above or below.
    targets.addTapPoint("help-mask", []() -> std::optional<Point> {
        auto ad = rewardOnScreen();
        if (!ad)
            return std::nullopt;
        Rect mask = screen_geometry::screenRect(*ad->helpMaskView());
        Rect card = screen_geometry::screenRect(*ad->helpView());
        double above = card.minY() - mask.minY(), below = mask.maxY() - card.maxY();
        if (above >= below)
            return Point{mask.midX(), mask.minY() + above / 2};
        return Point{mask.midX(), card.maxY() + below / 2};
    });
}

} // namespace

void addPromotionTargets(NamedScriptTargets& targets)
{
    targets.add("ad-close", []() -> std::shared_ptr<View> {
        auto overlay = AdOverlay::frontmostOnScreen();
        return overlay ? overlay->closeButton() : nullptr;
    });
    targets.add("ad-get", []() -> std::shared_ptr<View> {
        auto overlay = AdOverlay::frontmostOnScreen();
        return overlay ? overlay->getButton() : nullptr;
    });
    targets.add("ad-mask", []() -> std::shared_ptr<View> {
        auto overlay = AdOverlay::frontmostOnScreen();
        return overlay ? overlay->maskView() : nullptr;
    });
    // The dimmer shows around the card: tap it in the larger gap, above or below.
    targets.addTapPoint("ad-mask", []() -> std::optional<Point> {
        auto overlay = AdOverlay::frontmostOnScreen();
        if (!overlay)
            return std::nullopt;
        Rect mask = screen_geometry::screenRect(*overlay->maskView());
        Rect card = screen_geometry::screenRect(*overlay->cardView());
        double above = card.minY() - mask.minY(), below = mask.maxY() - card.maxY();
        if (above >= below)
            return Point{mask.midX(), mask.minY() + above / 2};
        return Point{mask.midX(), card.maxY() + below / 2};
    });
    addRewardTargets(targets);
}

} // namespace vq
