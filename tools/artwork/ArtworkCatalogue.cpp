#include "artwork/ArtworkCatalogue.h"

#include "artwork/BigAdPainter.h"
#include "artwork/ChromePainter.h"
#include "artwork/RewardPainter.h"
#include "artwork/TexturePainter.h"
#include "artwork/WallPainter.h"

#include "core/PropertyList.h"
#include "options/StyleCatalogue.h"

#include <fstream>

#include <fmt/format.h>

#include <system_error>

namespace vq::artwork {

namespace {

// The size a texture is shown at in its largest frame (the sent card), and
// a thumbnail's tablet cell; phones show both smaller.
constexpr double textureSide = 245;
constexpr double thumbnailSide = 80;

void addTabs(std::vector<ArtworkItem>& items)
{
    for (const char* tab : {"text", "color", "texture", "font"})
        for (bool selected : {false, true})
            for (bool tablet : {false, true}) {
                std::string name = fmt::format("{}{}{}", tab, selected ? "-hl" : "", tablet ? "-ipad" : "");
                double w = tablet ? 192 : 80, h = tablet ? 100 : 49;
                items.push_back({name, w, h, [tab = std::string(tab), selected, w, h](cairo_t* cr) {
                                     ChromePainter::tabButton(cr, tab, selected, w, h);
                                 }});
            }
}

} // namespace

std::vector<ArtworkItem> ArtworkCatalogue::items()
{
    std::vector<ArtworkItem> items;
    items.push_back({"bar", 320, 44, [](cairo_t* cr) { ChromePainter::bar(cr, 320, 44); }});
    items.push_back({"bar-ipad", 768, 44, [](cairo_t* cr) { ChromePainter::bar(cr, 768, 44); }});
    items.push_back({"clear", 51, 30, [](cairo_t* cr) { ChromePainter::clearButton(cr, 51, 30); }});
    items.push_back({"clear-ipad", 102, 60, [](cairo_t* cr) { ChromePainter::clearButton(cr, 102, 60); }});
    items.push_back({"random", 64, 30, [](cairo_t* cr) { ChromePainter::randomButton(cr, 64, 30); }});
    items.push_back({"random-ipad", 128, 60, [](cairo_t* cr) { ChromePainter::randomButton(cr, 128, 60); }});
    items.push_back({"bg-1", 320, 263, [](cairo_t* cr) { ChromePainter::panelBackground(cr, 320, 263, false); }});
    items.push_back({"bg-1-i5", 320, 302, [](cairo_t* cr) { ChromePainter::panelBackground(cr, 320, 302, false); }});
    items.push_back({"bg-1-ipad", 768, 523, [](cairo_t* cr) { ChromePainter::panelBackground(cr, 768, 523, true); }});
    addTabs(items);
    // Shown at 44 points on phones and 88 on tablets.
    items.push_back({"square-hl", 88, 88, [](cairo_t* cr) { ChromePainter::selectionMark(cr, 88); }});
    for (int n = 1; n <= StyleCatalogue::textureCount(); ++n)
        items.push_back({StyleCatalogue::textureName(n), textureSide, textureSide,
                         [n](cairo_t* cr) { TexturePainter::paint(cr, n, textureSide); }});
    for (int n = 1; n <= StyleCatalogue::textureCount(); ++n)
        items.push_back({StyleCatalogue::thumbnailName(n), thumbnailSide, thumbnailSide,
                         [n](cairo_t* cr) { TexturePainter::paint(cr, n, thumbnailSide); }});
    BigAdPainter::addItems(items);
    WallPainter::addItems(items);
    for (auto& item : RewardPainter::items())
        items.push_back(std::move(item));
    return items;
}

Surface ArtworkCatalogue::render(const ArtworkItem& item)
{
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, item.pixelWidth(), item.pixelHeight()),
                    cairo_surface_destroy);
    cairo_t* cr = cairo_create(surface.get());
    cairo_scale(cr, ArtworkItem::scale, ArtworkItem::scale);
    item.paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface.get());
    return surface;
}

std::optional<std::string> ArtworkCatalogue::writeAll(const std::filesystem::path& dir)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec)
        return fmt::format("cannot create {}: {}", dir.string(), ec.message());
    for (const auto& item : items()) {
        auto surface = render(item);
        if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
            return fmt::format("cannot draw {}: {}", item.name, cairo_status_to_string(cairo_surface_status(surface.get())));
        auto path = dir / item.fileName();
        // Promotion artwork lives in a folder of its own ("ad-img/...").
        std::filesystem::create_directories(path.parent_path(), ec);
        if (ec)
            return fmt::format("cannot create {}: {}", path.parent_path().string(), ec.message());
        if (auto error = writePng(surface.get(), path))
            return error;
    }
    return std::nullopt;
}

std::optional<std::string> ArtworkCatalogue::writePng(cairo_surface_t* surface, const std::filesystem::path& path)
{
    auto temporary = path.parent_path() / ("." + path.filename().string() + ".tmp");
    if (auto status = cairo_surface_write_to_png(surface, temporary.c_str()); status != CAIRO_STATUS_SUCCESS)
        return fmt::format("cannot write {}: {}", temporary.string(), cairo_status_to_string(status));
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec)
        return fmt::format("cannot write {}: {}", path.string(), ec.message());
    return std::nullopt;
}

std::optional<std::string> ArtworkCatalogue::writeAdsWhiteList(const std::filesystem::path& dir,
                                                               const std::vector<std::string>& deviceIds)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec)
        return fmt::format("cannot create {}: {}", dir.string(), ec.message());
    PlistValue::Array ids(deviceIds.begin(), deviceIds.end());
    std::string bytes = writePropertyList(PlistValue(std::move(ids)), PlistFormat::Xml);
    auto path = dir / "AdsWhiteList.plist";
    auto temporary = dir / ".AdsWhiteList.plist.tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << bytes;
        if (!out.flush())
            return fmt::format("cannot write {}", temporary.string());
    }
    std::filesystem::rename(temporary, path, ec);
    if (ec)
        return fmt::format("cannot write {}: {}", path.string(), ec.message());
    return std::nullopt;
}

} // namespace vq::artwork
