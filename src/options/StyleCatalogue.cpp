#include "options/StyleCatalogue.h"

#include <fmt/format.h>

#include <array>

namespace vq {

namespace {

// Row by row: columns 1-5 pale to saturated, column 6 a dark shade; the last
// row is the grey ramp. Swatch 37's red continues its row's step of 27.
constexpr std::array<StyleCatalogue::Rgb, StyleCatalogue::swatchCount> palette{{
    {255, 204, 204}, {255, 153, 153}, {255, 102, 102}, {255, 51, 51}, {255, 0, 0}, {153, 2, 2},
    {255, 204, 218}, {255, 153, 182}, {255, 102, 145}, {255, 51, 108}, {255, 0, 72}, {153, 2, 44},
    {255, 204, 255}, {255, 153, 255}, {255, 102, 255}, {255, 51, 255}, {255, 0, 255}, {153, 2, 153},
    {255, 255, 204}, {255, 255, 153}, {255, 255, 102}, {255, 255, 51}, {255, 255, 0}, {153, 153, 2},
    {255, 225, 204}, {255, 195, 153}, {255, 165, 102}, {255, 135, 51}, {255, 106, 0}, {153, 65, 2},
    {204, 255, 211}, {153, 255, 167}, {102, 255, 122}, {51, 255, 78}, {0, 255, 34}, {2, 153, 22},
    {227, 255, 204}, {200, 255, 153}, {173, 255, 102}, {146, 255, 51}, {119, 255, 0}, {72, 153, 2},
    {204, 255, 255}, {153, 255, 255}, {102, 255, 255}, {51, 255, 255}, {0, 255, 255}, {2, 153, 153},
    {204, 215, 255}, {153, 175, 255}, {102, 135, 255}, {51, 95, 255}, {0, 55, 255}, {2, 34, 153},
    {224, 204, 255}, {192, 153, 255}, {161, 102, 255}, {129, 51, 255}, {98, 0, 255}, {60, 2, 153},
    {255, 255, 255}, {204, 204, 204}, {153, 153, 153}, {102, 102, 102}, {51, 51, 51}, {0, 0, 0},
}};

} // namespace

std::optional<StyleCatalogue::Rgb> StyleCatalogue::paletteRgb(int swatch)
{
    if (swatch < 1 || swatch > swatchCount)
        return std::nullopt;
    return palette[static_cast<std::size_t>(swatch - 1)];
}

std::optional<Color> StyleCatalogue::paletteColor(int swatch)
{
    auto rgb = paletteRgb(swatch);
    if (!rgb)
        return std::nullopt;
    return Color::rgb255(static_cast<float>(rgb->red), static_cast<float>(rgb->green), static_cast<float>(rgb->blue));
}

std::string StyleCatalogue::textureName(int n) { return fmt::format("{}", n); }

std::string StyleCatalogue::thumbnailName(int n) { return fmt::format("T-{}", n); }

std::vector<std::string> StyleCatalogue::buildFontList(const std::vector<std::string>& families,
                                                       const FaceLister& facesOfFamily)
{
    std::vector<std::string> list{systemFontEntry};
    for (const auto& family : families) {
        auto faces = facesOfFamily(family);
        list.insert(list.end(), faces.begin(), faces.end());
    }
    return list;
}

} // namespace vq
