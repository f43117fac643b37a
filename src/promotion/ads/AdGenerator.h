#pragma once

#include "promotion/ads/Ad.h"

#include <memory>
#include <optional>
#include <string>

namespace vq {

// Turns an ad type number (1 alert, 2 wall, 3 bigads, 4 reward) into a fresh presenter.
class AdGenerator {
public:
    AdGenerator() = delete;

    static std::shared_ptr<Ad> adWithType(int type);
    // showType 1 is an ad shown on request.
    static std::shared_ptr<Ad> adWithType(int type, int showType);
    // Whole, case-sensitive names; 0 for anything else.
    static int adTypeFromName(const std::optional<std::string>& name);
};

} // namespace vq
