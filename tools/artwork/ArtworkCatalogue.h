#pragma once

#include <cairo.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vq::artwork {

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

// One named picture: its size in points, drawn at scale 2 and stored as
// NAME@2x.png.
struct ArtworkItem {
    std::string name;
    double width = 0, height = 0; // points
    std::function<void(cairo_t*)> paint;

    static constexpr int scale = 2;
    int pixelWidth() const { return static_cast<int>(width * scale); }
    int pixelHeight() const { return static_cast<int>(height * scale); }
    std::string fileName() const { return name + "@2x.png"; }
};

// Every image the editor and the options panel look up by name.
class ArtworkCatalogue {
public:
    static std::vector<ArtworkItem> items();

    static Surface render(const ArtworkItem& item);
    // Writes every item into dir (created if missing); an error message on failure.
    static std::optional<std::string> writeAll(const std::filesystem::path& dir);
    // Written beside the target and renamed, so a running app never reads half a file.
    static std::optional<std::string> writePng(cairo_surface_t* surface, const std::filesystem::path& path);
    // Writes the advertising network's test devices as "AdsWhiteList.plist",
    // an array of identifiers; an error message on failure.
    static std::optional<std::string> writeAdsWhiteList(const std::filesystem::path& dir,
                                                        const std::vector<std::string>& deviceIds);
};

} // namespace vq::artwork
