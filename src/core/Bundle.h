#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vq {

// The application's bundle information and resource folder.
struct Bundle {
    std::string displayName = "Velvet Quill";
    std::string bundleName = "VelvetQuill";
    std::string shortVersion = "1.0";  // "CFBundleShortVersionString"
    std::string build = "1.0";          // "CFBundleVersion"
    std::string identifier = "com.velvetquill.app";
    std::filesystem::path resourceDir;  // named images, property lists

    static Bundle& main();

    // "name.type" in the resource folder, when the file exists.
    std::optional<std::filesystem::path> pathForResource(const std::string& name, const std::string& type) const;
};

} // namespace vq
