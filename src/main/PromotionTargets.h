#pragma once

namespace vq {

class NamedScriptTargets;

// The promotion screens' targets: "ad-close", "ad-get" and "ad-mask" of the
// overlay in front (the big ad's or the wall's); the reward wall's "ad-back",
// "ad-help", and its help card's "help-close" and dimmer "help-mask".
void addPromotionTargets(NamedScriptTargets& targets);

} // namespace vq
