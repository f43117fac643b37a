#include "net/UserAgent.h"

#include <fmt/format.h>

namespace vq {

std::optional<std::string> UserAgent::format(const UserAgentFacts& facts)
{
    const std::string& name = facts.displayName.empty() ? facts.bundleName : facts.displayName;
    if (name.empty())
        return std::nullopt;
    std::string version = facts.shortVersion.empty() ? facts.build : facts.shortVersion;
    if (!facts.shortVersion.empty() && !facts.build.empty() && facts.build != facts.shortVersion)
        version = fmt::format("{} rv:{}", facts.shortVersion, facts.build);
    return fmt::format("{} {} ({}; {} {}; {})", name, version, facts.model, facts.systemName, facts.systemVersion,
                       facts.locale);
}

} // namespace vq
