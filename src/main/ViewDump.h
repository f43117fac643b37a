#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vq {

class View;
class Window;

// The view tree as JSON: {"windows":[VIEW...]}, each VIEW with its class,
// frame in its superview, rect on screen, tag, visibility and the keys of its
// kind (text, image, font, colours, scroll state), then its children.
class ViewDump {
public:
    // Windows back to front, as they are stacked on screen.
    static std::string dumpWindows();
    static std::string dumpWindows(const std::vector<std::shared_ptr<Window>>& windows);
    // Creates missing parent folders; an error message on failure.
    static std::optional<std::string> writeWindows(const std::filesystem::path& path);
};

} // namespace vq
