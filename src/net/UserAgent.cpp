#include "net/UserAgent.h"

#include "platform/Bundle.h"
#include "platform/Device.h"

#include <fmt/format.h>

namespace vq {

const std::optional<std::string>& UserAgent::shared()
{
    static const std::optional<std::string> agent = [] {
        const auto& bundle = Bundle::main();
        auto& device = Device::current();
        return format(bundle.displayName, bundle.bundleName, bundle.shortVersion, bundle.build,
                      device.model().value_or(""), device.systemName(), device.systemVersion(),
                      device.localeIdentifier());
    }();
    return agent;
}

std::optional<std::string> UserAgent::format(const std::string& displayName, const std::string& bundleName,
                                             const std::string& shortVersion, const std::string& build,
                                             const std::string& model, const std::string& systemName,
                                             const std::string& systemVersion, const std::string& locale)
{
    const std::string& name = displayName.empty() ? bundleName : displayName;
    if (name.empty())
        return std::nullopt;
    std::string version = shortVersion.empty() ? build : shortVersion;
    if (!shortVersion.empty() && !build.empty() && build != shortVersion)
        version = fmt::format("{} rv:{}", shortVersion, build);
    return fmt::format("{} {} ({}; {} {}; {})", name, version, model, systemName, systemVersion, locale);
}

} // namespace vq
