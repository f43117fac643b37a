#include "main/PromotionTargets.h"

#include "main/NamedScriptTargets.h"

#include "platform/Button.h"
#include "promotion/PromotionUnit.h"
#include "promotion/ads/RewardAd.h"

namespace vq {

namespace {

// The reward wall the promotion unit shows, while its page is in a window.
std::shared_ptr<RewardAd> rewardOnScreen()
{
    auto unit = PromotionUnit::currentInstance();
    auto ad = unit ? std::dynamic_pointer_cast<RewardAd>(unit->lastAd()) : nullptr;
    return ad && ad->view() && ad->view()->window() ? ad : nullptr;
}

} // namespace

void addPromotionTargets(NamedScriptTargets& targets)
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
    // Mostly under the card: a tap finds the part left uncovered.
    targets.addAnywhere("help-mask", []() -> std::shared_ptr<View> {
        auto ad = rewardOnScreen();
        return ad ? ad->helpMaskView() : nullptr;
    });
}

} // namespace vq
