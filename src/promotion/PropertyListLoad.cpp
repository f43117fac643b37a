#include "promotion/PropertyListLoad.h"

#include "net/BlockingGet.h"
#include "platform/EventHub.h"
#include "platform/Log.h"
#include "platform/PropertyListValues.h"
#include "platform/RunLoop.h"

namespace vq {

std::optional<PlistValue> loadPropertyListBlocking(const std::string& url)
{
    EventHub::shared().publish(MainThreadWillBlock{});
    auto response = blockingGet(url);
    if (response.error || response.status != 200)
        return std::nullopt;
    // The same cap and checks as the list fetched in the background.
    std::string why;
    auto list = parsePropertyListDictionary(response.body, why);
    if (!list)
        log("promotion list refused: {}", why);
    return list;
}

} // namespace vq
