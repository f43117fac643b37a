#include "promotion/AppDetector.h"

#include "core/Url.h"
#include "system/Application.h"

namespace vq {

bool AppDetector::isInstalledAppHWithScheme(const std::optional<std::string>& scheme) const
{
    if (!scheme)
        return false;
    auto url = Url::parse(*scheme + "://");
    return url && Application::shared().canOpenURL(*url);
}

std::vector<bool> AppDetector::isInstalledAppsWithSchemes(const std::vector<std::optional<std::string>>& schemes) const
{
    std::vector<bool> result;
    result.reserve(schemes.size());
    for (const auto& scheme : schemes)
        result.push_back(isInstalledAppHWithScheme(scheme));
    return result;
}

} // namespace vq
