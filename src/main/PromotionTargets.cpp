#include "main/PromotionTargets.h"

#include "main/NamedScriptTargets.h"
#include "main/ScreenGeometry.h"

#include "platform/Button.h"
#include "promotion/ads/AdOverlay.h"

namespace vq {

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
}

} // namespace vq
