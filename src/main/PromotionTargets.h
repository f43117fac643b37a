#pragma once

namespace vq {

class NamedScriptTargets;

// The promotion screens' controls by the names scripts use for them: the
// reward wall's back and help buttons, its help card's close button and the
// dimmer behind the card. Each is found only while its page is on screen.
void addPromotionTargets(NamedScriptTargets& targets);

} // namespace vq
