#pragma once

#include <optional>
#include <string>

namespace vq {

// What the "User-Agent" header says, as the app reads it from its bundle
// and the device.
struct UserAgentFacts {
    std::string displayName;
    std::string bundleName;
    std::string shortVersion;
    std::string build;
    std::string model;
    std::string systemName;
    std::string systemVersion;
    std::string locale;
};

class UserAgent {
public:
    // "name version (model; systemName systemVersion; locale)", the name being
    // the display name, else the bundle name, and the version "short rv:build"
    // when the build differs from the short version. nullopt without any name.
    static std::optional<std::string> format(const UserAgentFacts& facts);
};

} // namespace vq
