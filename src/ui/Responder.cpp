#include "ui/Responder.h"

#include "core/EventHub.h"

namespace vq {

namespace {

std::weak_ptr<Responder>& current()
{
    static std::weak_ptr<Responder> responder;
    return responder;
}

} // namespace

std::shared_ptr<Responder> Responder::firstResponder() { return current().lock(); }

bool Responder::isFirstResponder() const
{
    auto fr = current().lock();
    return fr.get() == this;
}

bool Responder::becomeFirstResponder()
{
    if (isFirstResponder())
        return true;
    if (!canBecomeFirstResponder())
        return false;
    auto previous = current().lock();
    if (previous) {
        current().reset();
        previous->didResignFirstResponder();
    }
    current() = weak_from_this();
    didBecomeFirstResponder();
    EventHub::shared().publish(FirstResponderChanged{previous.get(), this});
    return true;
}

bool Responder::resignFirstResponder()
{
    if (!isFirstResponder())
        return true;
    current().reset();
    didResignFirstResponder();
    EventHub::shared().publish(FirstResponderChanged{this, nullptr});
    return true;
}

} // namespace vq
