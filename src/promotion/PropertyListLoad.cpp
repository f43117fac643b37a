#include "promotion/PropertyListLoad.h"

#include "net/BlockingGet.h"
#include "platform/EventHub.h"
#include "platform/RunLoop.h"

namespace vq {

std::optional<PlistValue> loadPropertyListBlocking(const std::string& url)
{
    EventHub::shared().publish(MainThreadWillBlock{});
    auto response = blockingGet(url);
    if (response.error || response.status != 200)
        return std::nullopt;
    auto list = parsePropertyList(response.body);
    if (!list || !list->isDictionary())
        return std::nullopt;
    return list;
}

} // namespace vq
