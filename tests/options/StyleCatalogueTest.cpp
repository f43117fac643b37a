#include "options/StyleCatalogue.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>

using vq::Color;
using vq::StyleCatalogue;

// Pango and fontconfig keep matched fonts cached until the process ends;
// those are not leaks of ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\nleak:libpangoft2-1.0.so\n";
}

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

TEST(StyleCataloguePalette, RowsRunPaleToSaturatedWithADarkShadeLast)
{
    auto sum = [](int n) {
        auto c = *StyleCatalogue::paletteRgb(n);
        return c.red + c.green + c.blue;
    };
    for (int row = 0; row < 10; ++row) {
        int base = row * 6;
        for (int col = 1; col < 5; ++col)
            EXPECT_LT(sum(base + col + 1), sum(base + col)) << "row " << row + 1 << " column " << col + 1;
        // The dark shade: no component above 153, darker than the saturated colour.
        auto dark = *StyleCatalogue::paletteRgb(base + 6);
        EXPECT_LE(std::max({dark.red, dark.green, dark.blue}), 153) << "swatch " << base + 6;
        EXPECT_LT(sum(base + 6), sum(base + 5)) << "swatch " << base + 6;
    }
    // The grey row runs from white to black in even steps.
    for (int n = 61; n <= 66; ++n) {
        auto c = *StyleCatalogue::paletteRgb(n);
        int expected = 255 - 51 * (n - 61);
        EXPECT_EQ(std::make_tuple(c.red, c.green, c.blue), std::make_tuple(expected, expected, expected)) << n;
    }
}

TEST(StyleCataloguePalette, SwatchThirtySevenContinuesItsRow)
{
    std::vector<int> reds;
    for (int n = 37; n <= 41; ++n) {
        auto c = *StyleCatalogue::paletteRgb(n);
        EXPECT_EQ(c.green, 255);
        EXPECT_EQ(c.blue, 204 - 51 * (n - 37));
        reds.push_back(c.red);
    }
    EXPECT_EQ(reds, (std::vector<int>{227, 200, 173, 146, 119}));
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
    EXPECT_EQ(StyleCatalogue::firstTextureRangeEnd + 1, StyleCatalogue::secondTextureRangeBegin);
    EXPECT_EQ(StyleCatalogue::secondTextureRangeEnd, StyleCatalogue::textureCount());
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
