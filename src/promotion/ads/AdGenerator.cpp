#include "promotion/ads/AdGenerator.h"

#include "core/Log.h"
#include "promotion/ads/AlertAd.h"
#include "promotion/ads/BigAd.h"
#include "promotion/ads/RewardAd.h"
#include "promotion/ads/WallAd.h"

namespace vq {

std::shared_ptr<Ad> AdGenerator::adWithType(int type) { return adWithType(type, 0); }

std::shared_ptr<Ad> AdGenerator::adWithType(int type, int showType)
{
    std::shared_ptr<Ad> ad;
    switch (type) {
    case 1:
        log("show alert ad");
        ad = AlertAd::create();
        ad->setAdType("alert");
        break;
    case 2:
        log("show wall ad");
        ad = WallAd::create();
        ad->setAdType("wall");
        break;
    case 3:
        log("show big ad");
        ad = BigAd::create();
        ad->setAdType("bigads");
        break;
    case 4:
        log("show reward ad");
        ad = RewardAd::create();
        ad->setAdType("reward");
        break;
    default:
        log("none");
        return nullptr;
    }
    if (ad && showType == 1 && ad->respondsToSetAllowAdStatus())
        ad->setAllowAdStatus(true);
    return ad;
}

int AdGenerator::adTypeFromName(const std::optional<std::string>& name)
{
    if (!name)
        return 0;
    if (*name == "alert")
        return 1;
    if (*name == "bigads")
        return 3;
    if (*name == "reward")
        return 4;
    if (*name == "wall")
        return 2;
    return 0;
}

} // namespace vq
