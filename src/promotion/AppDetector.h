#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vq {

// Whether a promoted app is installed: some app on the device opens "SCHEME://".
class AppDetector {
public:
    bool isInstalledAppHWithScheme(const std::optional<std::string>& scheme) const;
    // One answer per scheme, in order; a missing scheme answers false.
    std::vector<bool> isInstalledAppsWithSchemes(const std::vector<std::optional<std::string>>& schemes) const;
};

} // namespace vq
