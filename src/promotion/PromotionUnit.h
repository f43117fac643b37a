#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vq {

// The promotion client's single entry object, created once at launch with
// the host app's store identifier.
class PromotionUnit {
public:
    // Creates the instance on the first call; later calls keep the first id.
    static std::shared_ptr<PromotionUnit> defaultInstance(const std::string& appId);
    // nullptr before the first defaultInstance.
    static std::shared_ptr<PromotionUnit> currentInstance();
    // Forgets the instance (between tests).
    static void resetForTests();

    explicit PromotionUnit(std::string appId);

    const std::string& appId() const { return _appId; }

    // Each time the host app becomes active.
    void becomeActived();
    std::size_t becomeActivedCount() const { return _becomeActivedCount; }

    // Fetches the list and shows an ad of that type (2 is the wall).
    void showAdWithType(int type);
    const std::vector<int>& requestedAdTypes() const { return _requestedAdTypes; }

    // The banner slot's unit key: nothing while none is usable.
    std::optional<std::string> bannerKey() const;

    // Records the registration; returns the token as groups of eight hex digits joined by "-".
    std::string registDeviceSucess(const std::vector<std::uint8_t>& token);
    bool isRegistDeviceSuccess() const { return _isRegistDeviceSuccess; }

    static constexpr const char* kBannerKeyDefaultsKey = "banner_key";

private:
    std::string _appId;
    bool _isRegistDeviceSuccess = false;
    std::size_t _becomeActivedCount = 0;
    std::vector<int> _requestedAdTypes;
};

} // namespace vq
