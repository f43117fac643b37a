#include "platform/Responder.h"

namespace vq {

namespace {

std::weak_ptr<Responder>& current()
{
    static std::weak_ptr<Responder> responder;
    return responder;
}

Responder::FirstResponderObserver& observer()
{
    static Responder::FirstResponderObserver fn;
    return fn;
}

} // namespace

std::shared_ptr<Responder> Responder::firstResponder() { return current().lock(); }

void Responder::setFirstResponderObserver(FirstResponderObserver fn) { observer() = std::move(fn); }

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
    if (observer())
        observer()(previous.get(), this);
    return true;
}

bool Responder::resignFirstResponder()
{
    if (!isFirstResponder())
        return true;
    current().reset();
    didResignFirstResponder();
    if (observer())
        observer()(this, nullptr);
    return true;
}

} // namespace vq
