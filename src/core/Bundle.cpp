#include "core/Bundle.h"

#include <cstdlib>

namespace vq {

namespace {

std::filesystem::path defaultResourceDir()
{
    if (const char* dir = std::getenv("VQ_RESOURCE_DIR"); dir && *dir)
        return dir;
    // Installed next to the executable, else where the build put it.
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        auto beside = exe.parent_path() / "resources";
        if (std::filesystem::is_directory(beside, ec))
            return beside;
    }
#ifdef VQ_DEFAULT_RESOURCE_DIR
    return VQ_DEFAULT_RESOURCE_DIR;
#else
    return "resources";
#endif
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
