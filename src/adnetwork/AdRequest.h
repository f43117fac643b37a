#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vq {

// What a banner asks the network for. Test devices get test ads only.
class AdRequest {
public:
    static AdRequest request() { return AdRequest(); }

    // nullopt: no list was set (different from an empty list).
    const std::optional<std::vector<std::string>>& testDevices() const { return _testDevices; }
    void setTestDevices(std::optional<std::vector<std::string>> devices) { _testDevices = std::move(devices); }

private:
    AdRequest() = default;
    std::optional<std::vector<std::string>> _testDevices;
};

} // namespace vq
