#include "core/Bundle.h"

#include <algorithm>
#include <cstdlib>

namespace vq {

namespace {

std::filesystem::path defaultResourceDir()
{
    if (const char* dir = std::getenv("VQ_RESOURCE_DIR"); dir && *dir)
        return dir;
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return VQ_BUILD_RESOURCE_DIR;
    // A program of the build tree draws on the build's artwork; an installed
    // one on its own prefix's, wherever that prefix was moved to.
    const std::filesystem::path buildDir = VQ_BUILD_DIR;
    auto inside = std::mismatch(buildDir.begin(), buildDir.end(), exe.begin(), exe.end()).first == buildDir.end();
    if (inside)
        return VQ_BUILD_RESOURCE_DIR;
    return (exe.parent_path() / VQ_INSTALLED_RESOURCE_DIR).lexically_normal();
}

} // namespace

Bundle& Bundle::main()
{
    static Bundle bundle = [] {
        Bundle b;
        b.resourceDir = defaultResourceDir();
        return b;
    }();
    return bundle;
}

std::optional<std::filesystem::path> Bundle::pathForResource(const std::string& name, const std::string& type) const
{
    if (name.empty())
        return std::nullopt;
    auto path = resourceDir / (type.empty() ? name : name + "." + type);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return std::nullopt;
    return path;
}

} // namespace vq
