#pragma once

#include <optional>
#include <string>

namespace vq {

// The "User-Agent" every request sends.
class UserAgent {
public:
    // Built once per process from the bundle and the device, on first use
    // (on the main thread). nullopt when the application has no name.
    static const std::optional<std::string>& shared();

    // "name version (model; systemName systemVersion; locale)", the version
    // being "short rv:build" when the build differs from the short version.
    static std::optional<std::string> format(const std::string& displayName, const std::string& bundleName,
                                             const std::string& shortVersion, const std::string& build,
                                             const std::string& model, const std::string& systemName,
                                             const std::string& systemVersion, const std::string& locale);
};

} // namespace vq
