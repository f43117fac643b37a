#include "graphics/Font.h"
#include "graphics/FontMap.h"
#include "graphics/TextLayout.h"

#include <gtest/gtest.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-font.h>

#include <algorithm>
#include <sched.h>

using namespace vq;

namespace {

// The PostScript name of the face Pango actually loads for a font.
std::string loadedFace(const Font& font)
{
    PangoFont* f = pango_font_map_load_font(FontMap::fontMap(), FontMap::context(), font.pangoDescription());
    EXPECT_NE(f, nullptr);
    if (!f)
        return {};
    FcChar8* name = nullptr;
    FcPatternGetString(pango_fc_font_get_pattern(reinterpret_cast<PangoFcFont*>(f)), FC_POSTSCRIPT_NAME, 0, &name);
    std::string result = name ? reinterpret_cast<const char*>(name) : "";
    g_object_unref(f);
    return result;
}

} // namespace

TEST(FontTest, SystemFontsAreDejaVuAndRoundTripThroughTheirNames)
{
    Font regular = Font::systemFont(17);
    Font bold = Font::boldSystemFont(17);
    EXPECT_EQ(regular.familyName(), "DejaVu Sans");
    EXPECT_EQ(regular.fontName(), "DejaVuSans");
    EXPECT_EQ(bold.fontName(), "DejaVuSans-Bold");
    EXPECT_TRUE(regular.isSystemFont());
    EXPECT_DOUBLE_EQ(regular.pointSize(), 17);

    for (const Font& f : {regular, bold}) {
        auto named = Font::fontWithName(f.fontName(), f.pointSize());
        ASSERT_TRUE(named.has_value()) << f.fontName();
        // The same face, but the system font sets its lines further apart: not the same font.
        EXPECT_EQ(named->fontName(), f.fontName());
        EXPECT_NE(*named, f);
        EXPECT_EQ(loadedFace(*named), loadedFace(f));
        EXPECT_EQ(loadedFace(f), f.fontName());
    }
    EXPECT_NE(regular, bold);
    EXPECT_EQ(regular.withSize(21).pointSize(), 21);
    EXPECT_TRUE(bold.withSize(21) == Font::boldSystemFont(21));
}

TEST(FontTest, SystemFontLinesAreAsTallAsThePhonesOwn)
{
    // Two lines of the 17-point system font need more than the message's 40-point minimum,
    // as on the phone; DejaVu Sans's own pitch (1.16 em) would give 39.6.
    for (double size : {17.0, 21.0}) {
        SCOPED_TRACE(size);
        Font system = Font::systemFont(size);
        EXPECT_NEAR(system.lineHeight(), 1.2 * size, 1e-9);
        double one = measureText("line", system, 1000).height;
        double two = measureText("line\nline", system, 1000).height;
        EXPECT_NEAR(one, 1.2 * size, 0.01);
        EXPECT_NEAR(two, 2.4 * size, 0.02);
        // Named faces keep their own pitch.
        auto named = Font::fontWithName(system.fontName(), size);
        ASSERT_TRUE(named);
        EXPECT_LT(measureText("line\nline", *named, 1000).height, two - 1);
    }
    EXPECT_GT(measureText("line\nline", Font::systemFont(17), 140).height, 40);
}

TEST(FontTest, UnknownNamesGiveNoFontAndFullNamesAreAccepted)
{
    EXPECT_FALSE(Font::fontWithName("No Such Font", 17).has_value());
    EXPECT_FALSE(Font::fontWithName("", 17).has_value());
    auto full = Font::fontWithName("DejaVu Serif Bold", 12);
    ASSERT_TRUE(full.has_value());
    EXPECT_EQ(full->fontName(), "DejaVuSerif-Bold");
    EXPECT_EQ(full->familyName(), "DejaVu Serif");
    EXPECT_FALSE(full->isSystemFont());
}

TEST(FontTest, EveryListedFaceLoadsExactlyThatFace)
{
    auto families = Font::familyNames();
    ASSERT_FALSE(families.empty());
    EXPECT_TRUE(std::is_sorted(families.begin(), families.end()));
    EXPECT_EQ(std::adjacent_find(families.begin(), families.end()), families.end());
    EXPECT_NE(std::find(families.begin(), families.end(), "DejaVu Sans"), families.end());
    EXPECT_NE(std::find(families.begin(), families.end(), "DejaVu Serif"), families.end());

    for (const auto& family : families) {
        auto names = Font::fontNamesForFamilyName(family);
        ASSERT_FALSE(names.empty()) << family;
        EXPECT_EQ(names, Font::fontNamesForFamilyName(family)) << "order must be stable";
        for (const auto& name : names) {
            auto font = Font::fontWithName(name, 14);
            ASSERT_TRUE(font.has_value()) << name;
            EXPECT_EQ(font->fontName(), name);
            EXPECT_EQ(font->familyName(), family);
            // Condensed, light and bold faces of one family must not collapse onto the regular one.
            EXPECT_EQ(loadedFace(*font), name);
        }
    }
    EXPECT_TRUE(Font::fontNamesForFamilyName("No Such Family").empty());
}

TEST(FontTest, MetricsScaleWithSize)
{
    Font small = Font::systemFont(10);
    Font large = Font::systemFont(20);
    EXPECT_GT(small.ascender(), 0);
    EXPECT_LT(small.descender(), 0); // below the baseline, as phone fonts report it
    EXPECT_GE(small.lineHeight(), small.ascender() - small.descender() - 1e-6);
    EXPECT_NEAR(large.ascender(), 2 * small.ascender(), 0.05);
    EXPECT_NEAR(large.lineHeight(), 2 * small.lineHeight(), 0.1);
}

// A new font is matched with this thread held on one CPU, and only while it is matched.
TEST(FontTest, MatchingNewFontsLeavesTheThreadOnTheCpusItHad)
{
    cpu_set_t before;
    ASSERT_EQ(sched_getaffinity(0, sizeof before, &before), 0);
    if (CPU_COUNT(&before) < 2)
        GTEST_SKIP() << "one CPU: there is nothing to narrow";
    // Sizes and a face nothing else here uses, so each is a new match, measured and laid out.
    Font font = Font::systemFont(23.25);
    EXPECT_GT(measureText("Hello", font, 0).width, 0);
    EXPECT_GT(TextLayout("Hello", Font::boldSystemFont(31.75)).size().width, 0);
    auto named = Font::fontWithName("DejaVuSerif-Bold", 27.5);
    ASSERT_TRUE(named);
    EXPECT_GT(TextLayout("Hello", *named).size().width, 0);
    cpu_set_t after;
    ASSERT_EQ(sched_getaffinity(0, sizeof after, &after), 0);
    EXPECT_TRUE(CPU_EQUAL(&before, &after));
}

TEST(FontTest, EveryFaceMeasuresAsPangoMeasuresItAtEverySize)
{
    // Sizes after the first are read from HarfBuzz: they must agree with Pango to the unit.
    for (const auto& family : Font::familyNames())
        for (const auto& name : Font::fontNamesForFamilyName(family))
            for (double size : {17.0, 13.5, 9.7, 34.0, 71.1}) {
                auto font = Font::fontWithName(name, size);
                ASSERT_TRUE(font.has_value()) << name;
                PangoFontMetrics* m = pango_context_get_metrics(FontMap::context(), font->pangoDescription(), nullptr);
                ASSERT_NE(m, nullptr);
                EXPECT_EQ(font->ascender(), pango_font_metrics_get_ascent(m) / double(PANGO_SCALE)) << name << " " << size;
                EXPECT_EQ(font->descender(), -pango_font_metrics_get_descent(m) / double(PANGO_SCALE)) << name << " " << size;
                EXPECT_EQ(font->lineHeight(), pango_font_metrics_get_height(m) / double(PANGO_SCALE)) << name << " " << size;
                pango_font_metrics_unref(m);
            }
}
