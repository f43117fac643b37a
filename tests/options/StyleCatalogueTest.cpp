#include "options/StyleCatalogue.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>

using vq::Color;
using vq::StyleCatalogue;

namespace {

std::tuple<int, int, int> bytes(const Color& c) { return {c.red8(), c.green8(), c.blue8()}; }

} // namespace

TEST(StyleCataloguePalette, EndsOfThePaletteAndNumbersOutsideIt)
{
    auto first = StyleCatalogue::paletteColor(1);
    ASSERT_TRUE(first);
    EXPECT_FLOAT_EQ(first->r, 1.0f);
    EXPECT_FLOAT_EQ(first->g, 204.0f / 255);
    EXPECT_FLOAT_EQ(first->b, 204.0f / 255);
    EXPECT_FLOAT_EQ(first->a, 1.0f);

    EXPECT_EQ(StyleCatalogue::paletteColor(61), Color::whiteColor());
    EXPECT_EQ(StyleCatalogue::paletteColor(66), Color::blackColor());

    for (int n : {-1, 0, 67, 1000}) {
        EXPECT_FALSE(StyleCatalogue::paletteColor(n)) << n;
        EXPECT_FALSE(StyleCatalogue::paletteRgb(n)) << n;
    }
}

TEST(StyleCataloguePalette, EveryColourIsOpaqueAndInRangeAndDistinct)
{
    std::set<std::tuple<int, int, int>> seen;
    for (int n = 1; n <= StyleCatalogue::swatchCount; ++n) {
        auto rgb = StyleCatalogue::paletteRgb(n);
        auto colour = StyleCatalogue::paletteColor(n);
        ASSERT_TRUE(rgb && colour) << n;
        for (int v : {rgb->red, rgb->green, rgb->blue}) {
            EXPECT_GE(v, 0) << n;
            EXPECT_LE(v, 255) << n;
        }
        EXPECT_EQ(bytes(*colour), std::make_tuple(rgb->red, rgb->green, rgb->blue)) << n;
        EXPECT_FLOAT_EQ(colour->a, 1.0f);
        seen.insert(bytes(*colour));
    }
    EXPECT_EQ(seen.size(), 66u);
}

TEST(StyleCataloguePalette, EverySwatchHasItsValue)
{
    // Typed out row by row, apart from the code's own table; swatch 37's red continues its row.
    const int expected[66][3] = {
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
    };
    for (int n = 1; n <= 66; ++n) {
        const int* rgb = expected[n - 1];
        auto colour = StyleCatalogue::paletteColor(n);
        ASSERT_TRUE(colour) << n;
        EXPECT_FLOAT_EQ(colour->r, rgb[0] / 255.0f) << "swatch " << n;
        EXPECT_FLOAT_EQ(colour->g, rgb[1] / 255.0f) << "swatch " << n;
        EXPECT_FLOAT_EQ(colour->b, rgb[2] / 255.0f) << "swatch " << n;
    }
}

TEST(StyleCatalogueTextures, NamesAndRanges)
{
    EXPECT_EQ(StyleCatalogue::textureCount(), 90);
    EXPECT_EQ(StyleCatalogue::textureName(1), "1");
    EXPECT_EQ(StyleCatalogue::thumbnailName(1), "T-1");
    EXPECT_EQ(StyleCatalogue::textureName(90), "90");
    EXPECT_EQ(StyleCatalogue::thumbnailName(90), "T-90");
    EXPECT_EQ(StyleCatalogue::textureName(7), "7");

    // The two random ranges cover every texture once.
    EXPECT_EQ(StyleCatalogue::firstTextureRangeBegin, 1);
    EXPECT_EQ(StyleCatalogue::firstTextureRangeEnd, 42);
    EXPECT_EQ(StyleCatalogue::secondTextureRangeBegin, 43);
    EXPECT_EQ(StyleCatalogue::secondTextureRangeEnd, 90);
}

TEST(StyleCatalogueFonts, ListFollowsTheReportedOrderAfterTheSystemEntry)
{
    std::map<std::string, std::vector<std::string>> faces{
        {"Zeta", {"Zeta-Bold", "Zeta-Regular"}},
        {"Alpha", {"Alpha"}},
        {"Empty", {}},
        {"Twin", {"Alpha"}},
    };
    auto lister = [&](const std::string& family) { return faces.at(family); };

    auto list = StyleCatalogue::buildFontList({"Zeta", "Empty", "Alpha", "Twin"}, lister);
    EXPECT_EQ(list, (std::vector<std::string>{"System Normal", "Zeta-Bold", "Zeta-Regular", "Alpha", "Alpha"}));

    EXPECT_EQ(StyleCatalogue::buildFontList({}, lister), (std::vector<std::string>{"System Normal"}));
}

TEST(StyleCatalogueFonts, InstalledFontsEveryEntryResolvesToItsFace)
{
    auto list = StyleCatalogue::buildFontList();
    ASSERT_GT(list.size(), 1u) << "the test font set has DejaVu faces";
    EXPECT_EQ(list[0], "System Normal");

    auto system = StyleCatalogue::fontForEntry(list, 0, 17);
    ASSERT_TRUE(system);
    EXPECT_TRUE(system->isSystemFont());
    EXPECT_DOUBLE_EQ(system->pointSize(), 17);

    for (std::size_t k = 1; k < list.size(); ++k) {
        auto font = StyleCatalogue::fontForEntry(list, k, 21);
        ASSERT_TRUE(font) << list[k];
        EXPECT_EQ(font->fontName(), list[k]);
        EXPECT_FALSE(font->isSystemFont()) << list[k];
        EXPECT_DOUBLE_EQ(font->pointSize(), 21);
    }

    EXPECT_FALSE(StyleCatalogue::fontForEntry(list, list.size(), 17));
    // A name no face carries: nothing, rather than a fallback font.
    EXPECT_FALSE(StyleCatalogue::fontForEntry({"System Normal", "No Such Face-Regular"}, 1, 17));
}
