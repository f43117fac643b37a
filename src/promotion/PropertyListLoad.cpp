#include "promotion/PropertyListLoad.h"

#include "core/EventHub.h"
#include "core/Log.h"
#include "core/PropertyListValues.h"
#include "core/RunLoop.h"
#include "net/BlockingGet.h"

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
