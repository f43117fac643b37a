#pragma once

namespace vq {

class NamedScriptTargets;

// The promotion screens' targets: "ad-close", "ad-get" and "ad-mask" of the
// overlay in front (the big ad's or the wall's).
void addPromotionTargets(NamedScriptTargets& targets);

} // namespace vq
