#include "net/RequestObserver.h"

namespace vq {

namespace {

std::function<void(const RequestEnded&)>& observer()
{
    static std::function<void(const RequestEnded&)> shared;
    return shared;
}

} // namespace

void setRequestObserver(std::function<void(const RequestEnded&)> fn) { observer() = std::move(fn); }

void reportRequestEnded(const RequestEnded& ended)
{
    if (auto& fn = observer())
        fn(ended);
}

} // namespace vq
