#include "artwork/ContactSheet.h"

#include "artwork/ArtworkCatalogue.h"
#include "artwork/Paint.h"

#include <fmt/format.h>

#include <algorithm>

namespace vq::artwork {

namespace {

constexpr double sheetWidth = 1640, margin = 20, gap = 14, labelHeight = 16;

struct Placed {
    const ArtworkItem* item;
    double x, y, w, h;
};

// Rows left to right, wrapping at the sheet's width.
double flow(const std::vector<const ArtworkItem*>& items, double y, double scaleOf(const ArtworkItem&),
            std::vector<Placed>& out)
{
    double x = margin, rowHeight = 0;
    for (const auto* item : items) {
        double s = scaleOf(*item), w = item->width * s, h = item->height * s;
        if (x + w > sheetWidth - margin && x > margin) {
            x = margin;
            y += rowHeight + labelHeight + gap;
            rowHeight = 0;
        }
        out.push_back({item, x, y, w, h});
        x += std::max(w, 70.0) + gap;
        rowHeight = std::max(rowHeight, h);
    }
    return y + rowHeight + labelHeight + gap * 2;
}

void checkerboard(cairo_t* cr, double x, double y, double w, double h)
{
    cairo_save(cr);
    cairo_rectangle(cr, x, y, w, h);
    cairo_clip(cr);
    setColor(cr, Rgb{0.86, 0.86, 0.86});
    cairo_paint(cr);
    setColor(cr, Rgb{0.96, 0.96, 0.96});
    for (double yy = y; yy < y + h; yy += 8)
        for (double xx = x + (static_cast<int>((yy - y) / 8) % 2 ? 8 : 0); xx < x + w; xx += 16)
            cairo_rectangle(cr, xx, yy, 8, 8);
    cairo_fill(cr);
    cairo_restore(cr);
}

} // namespace

std::optional<std::string> ContactSheet::write(const std::filesystem::path& file)
{
    auto items = ArtworkCatalogue::items();
    std::vector<const ArtworkItem*> chrome, textures, thumbnails;
    for (const auto& item : items) {
        if (item.name.starts_with("T-"))
            thumbnails.push_back(&item);
        else if (item.name.find_first_not_of("0123456789") == std::string::npos)
            textures.push_back(&item);
        else
            chrome.push_back(&item);
    }

    std::vector<Placed> placed;
    double y = margin + 30;
    y = flow(chrome, y, [](const ArtworkItem& i) { return i.width > 400 ? 1.0 : 1.5; }, placed);
    double textureTop = y;
    y = flow(textures, y + 30, [](const ArtworkItem&) { return 90.0 / 245; }, placed);
    double thumbnailTop = y;
    y = flow(thumbnails, y + 30, [](const ArtworkItem&) { return 40.0 / 80; }, placed);

    Surface sheet(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(sheetWidth), static_cast<int>(y)),
                  cairo_surface_destroy);
    cairo_t* cr = cairo_create(sheet.get());
    setColor(cr, Rgb{1, 1, 1});
    cairo_paint(cr);
    const Rgb heading{0.2, 0.2, 0.25}, caption{0.35, 0.35, 0.4};
    drawCentredText(cr, "Furniture (at 1.5x points; the widest at 1x)", {"DejaVu Sans", 16, true}, heading, sheetWidth / 2, margin + 8);
    drawCentredText(cr, "Textures 1-90", {"DejaVu Sans", 16, true}, heading, sheetWidth / 2, textureTop + 10);
    drawCentredText(cr, "Thumbnails T-1 - T-90 (as on a phone)", {"DejaVu Sans", 16, true}, heading, sheetWidth / 2,
                    thumbnailTop + 10);

    for (const auto& p : placed) {
        auto picture = ArtworkCatalogue::render(*p.item);
        checkerboard(cr, p.x, p.y, p.w, p.h);
        cairo_save(cr);
        cairo_translate(cr, p.x, p.y);
        cairo_scale(cr, p.w / p.item->pixelWidth(), p.h / p.item->pixelHeight());
        cairo_set_source_surface(cr, picture.get(), 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
        cairo_paint(cr);
        cairo_restore(cr);
        drawCentredText(cr, p.item->name, {"DejaVu Sans", 10}, caption, p.x + p.w / 2, p.y + p.h + 8);
    }
    cairo_destroy(cr);
    if (auto status = cairo_surface_write_to_png(sheet.get(), file.c_str()); status != CAIRO_STATUS_SUCCESS)
        return fmt::format("cannot write {}: {}", file.string(), cairo_status_to_string(status));
    return std::nullopt;
}

} // namespace vq::artwork
