#include "core/Log.h"
#include "graphics/FontConfig.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

using namespace vq;

namespace {

// The test programs run under a fixed font configuration named by FONTCONFIG_FILE;
// these cases need the machine's own, as the app meets it.
class WithoutChosenConfiguration {
public:
    WithoutChosenConfiguration()
    {
        if (const char* value = std::getenv("FONTCONFIG_FILE"))
            _saved = value;
        unsetenv("FONTCONFIG_FILE");
    }
    ~WithoutChosenConfiguration()
    {
        if (_saved)
            setenv("FONTCONFIG_FILE", _saved->c_str(), 1);
    }
    WithoutChosenConfiguration(const WithoutChosenConfiguration&) = delete;
    WithoutChosenConfiguration& operator=(const WithoutChosenConfiguration&) = delete;

private:
    std::optional<std::string> _saved;
};

std::string stringOf(FcPattern* p, const char* object, int index = 0)
{
    FcChar8* s = nullptr;
    return FcPatternGetString(p, object, index, &s) == FcResultMatch && s ? reinterpret_cast<const char*>(s) : "";
}

// Every face a configuration lists, by file and index within it.
std::set<std::pair<std::string, int>> listedFaces(FcConfig* config)
{
    std::set<std::pair<std::string, int>> faces;
    FcPattern* all = FcPatternCreate();
    FcObjectSet* os = FcObjectSetBuild(FC_FILE, FC_INDEX, static_cast<char*>(nullptr));
    FcFontSet* set = FcFontList(config, all, os);
    for (int i = 0; set && i < set->nfont; ++i) {
        int index = 0;
        FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &index);
        faces.emplace(stringOf(set->fonts[i], FC_FILE), index);
    }
    if (set)
        FcFontSetDestroy(set);
    FcObjectSetDestroy(os);
    FcPatternDestroy(all);
    return faces;
}

std::vector<std::string> familiesOf(FcConfig* config)
{
    std::set<std::string> families;
    FcPattern* all = FcPatternCreate();
    FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, static_cast<char*>(nullptr));
    FcFontSet* set = FcFontList(config, all, os);
    for (int i = 0; set && i < set->nfont; ++i)
        families.insert(stringOf(set->fonts[i], FC_FAMILY));
    if (set)
        FcFontSetDestroy(set);
    FcObjectSetDestroy(os);
    FcPatternDestroy(all);
    return {families.begin(), families.end()};
}

// How a configuration resolves a request as the text renderer makes it: the
// face it draws with, how that face is drawn, and the faces a missing glyph
// falls back to, in order.
struct Resolution {
    std::string face;
    std::string rendering;
    std::vector<std::string> fallbacks;
    bool operator==(const Resolution&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Resolution& r)
{
    out << r.face << " [" << r.rendering << "] then";
    for (const auto& f : r.fallbacks)
        out << ' ' << f;
    return out;
}

Resolution resolve(FcConfig* config, const std::string& family, int weight, int slant, double pixelSize)
{
    FcPattern* p = FcPatternCreate();
    FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(p, FC_WEIGHT, weight);
    FcPatternAddInteger(p, FC_SLANT, slant);
    FcPatternAddDouble(p, FC_PIXEL_SIZE, pixelSize);
    FcPatternAddString(p, FC_LANG, reinterpret_cast<const FcChar8*>("en-us"));
    FcConfigSubstitute(config, p, FcMatchPattern);
    FcDefaultSubstitute(p);

    Resolution r;
    FcResult result;
    FcFontSet* sorted = FcFontSort(config, p, FcFalse, nullptr, &result);
    for (int i = 0; sorted && i < sorted->nfont; ++i) {
        int index = 0;
        FcPatternGetInteger(sorted->fonts[i], FC_INDEX, 0, &index);
        r.fallbacks.push_back(stringOf(sorted->fonts[i], FC_FILE) + "#" + std::to_string(index));
    }
    if (sorted && sorted->nfont > 0) {
        FcPattern* font = FcFontRenderPrepare(config, p, sorted->fonts[0]);
        r.face = stringOf(font, FC_POSTSCRIPT_NAME);
        FcObjectSet* drawn = FcObjectSetBuild(FC_HINTING, FC_HINT_STYLE, FC_ANTIALIAS, FC_AUTOHINT, FC_EMBOLDEN,
                                              FC_MATRIX, FC_LCD_FILTER, FC_RGBA, FC_EMBEDDED_BITMAP, FC_PIXEL_SIZE,
                                              FC_SLANT, FC_WEIGHT, static_cast<char*>(nullptr));
        FcPattern* shown = FcPatternFilter(font, drawn);
        FcObjectSetDestroy(drawn);
        FcChar8* text = FcNameUnparse(shown);
        r.rendering = text ? reinterpret_cast<const char*>(text) : "";
        FcStrFree(text);
        FcPatternDestroy(shown);
        FcPatternDestroy(font);
    }
    if (sorted)
        FcFontSetDestroy(sorted);
    FcPatternDestroy(p);
    return r;
}

// A baseline this machine meets exactly, whatever fonts it has: the baseline's
// rule files stand in a folder of their own, its families are this machine's.
FontConfig::Baseline baselineThisMachineMeets(const vq::test::TempDir& rules)
{
    FontConfig::Baseline exact{rules.path().string(), FontConfig::baseline().rules, {}};
    for (const auto& name : exact.rules)
        std::ofstream(rules / name) << "<fontconfig/>\n";
    FcConfigOwner system = FontConfig::loadSystem();
    for (const auto& family : familiesOf(system.get()))
        exact.families.insert(family);
    return exact;
}

} // namespace

// Whichever configuration the app picks on this machine: with the fonts and
// rules the app installs its own, with anything more the system's.
TEST(FontConfigTest, TheConfigurationTheAppPicksFindsAndDrawsEveryFaceAsTheSystemsDoes)
{
    WithoutChosenConfiguration machine;
    auto own = FontConfig::load(FontConfig::defaultFontFolders());
    ASSERT_TRUE(own.config);
    FcConfigOwner system = FontConfig::loadSystem();
    ASSERT_TRUE(system);

    auto faces = listedFaces(own.config.get());
    EXPECT_GT(faces.size(), 20u);
    EXPECT_EQ(faces, listedFaces(system.get())) << "every installed face is listed, and only those";

    // Every family in its four styles, at a small size where hinting rules differ
    // and a text size; the generic families a missing glyph falls back through.
    auto families = familiesOf(system.get());
    for (const char* generic : {"sans-serif", "serif", "monospace", "emoji"})
        families.emplace_back(generic);
    for (const auto& family : families)
        for (int weight : {FC_WEIGHT_REGULAR, FC_WEIGHT_BOLD})
            for (int slant : {FC_SLANT_ROMAN, FC_SLANT_ITALIC})
                for (double pixels : {6.0, 34.0}) {
                    SCOPED_TRACE(testing::Message()
                                 << family << " weight " << weight << " slant " << slant << " at " << pixels << " px");
                    Resolution ours = resolve(own.config.get(), family, weight, slant, pixels);
                    EXPECT_FALSE(ours.face.empty());
                    EXPECT_EQ(ours, resolve(system.get(), family, weight, slant, pixels));
                }
}

TEST(FontConfigTest, FoldersWithoutTheSystemFontFallBackToTheSystemsConfiguration)
{
    WithoutChosenConfiguration machine;
    struct Case {
        std::vector<std::string> folders;
        std::string missing;
    };
    const std::vector<Case> cases = {
        {{"/nonexistent/velvet-quill-fonts"}, "DejaVuSans, DejaVuSans-Bold"},
        // Fonts, but not the one the app sets its own text in.
        {{"/usr/share/fonts/truetype/lato"}, "DejaVuSans, DejaVuSans-Bold"},
        // Characters that mean something in the configuration's markup.
        {{"/nonexistent/<fonts> & \"more\""}, "DejaVuSans, DejaVuSans-Bold"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folders.front());
        LogCapture log;
        auto loaded = FontConfig::load(c.folders);
        EXPECT_FALSE(loaded.own);
        ASSERT_TRUE(loaded.config);
        EXPECT_TRUE(log.contains("fonts: " + c.missing +
                                 " not in the app's font folders; using the system's font configuration"))
            << testing::PrintToString(log.lines());
        // No face is lost: the system's configuration lists what the system has.
        FcConfigOwner system = FontConfig::loadSystem();
        EXPECT_EQ(listedFaces(loaded.config.get()), listedFaces(system.get()));
        EXPECT_FALSE(listedFaces(loaded.config.get()).empty());
    }

    // A folder with the system font in it is enough, and lists only its own faces.
    vq::test::TempDir rules;
    LogCapture log;
    auto dejavu = FontConfig::load({"/usr/share/fonts/truetype/dejavu"}, baselineThisMachineMeets(rules));
    EXPECT_TRUE(dejavu.own);
    EXPECT_TRUE(log.lines().empty()) << testing::PrintToString(log.lines());
    auto faces = listedFaces(dejavu.config.get());
    EXPECT_FALSE(faces.empty());
    for (const auto& [file, index] : faces)
        EXPECT_TRUE(file.starts_with("/usr/share/fonts/truetype/dejavu/")) << file;
}

TEST(FontConfigTest, RulesOrFamiliesBeyondTheBaselineLeaveItToTheSystem)
{
    WithoutChosenConfiguration machine;
    vq::test::TempDir rules;
    FontConfig::Baseline exact = baselineThisMachineMeets(rules);
    FcConfigOwner system = FontConfig::loadSystem();
    ASSERT_TRUE(exact.families.contains("Lato"));
    {
        LogCapture log;
        EXPECT_TRUE(FontConfig::load(FontConfig::defaultFontFolders(), exact).own);
        EXPECT_TRUE(log.lines().empty()) << testing::PrintToString(log.lines());
    }

    auto withoutLato = exact;
    withoutLato.families.erase("Lato");
    struct Case {
        std::string what;
        std::function<void()> change;
        const FontConfig::Baseline& baseline;
        std::string line;
    };
    const std::vector<Case> cases = {
        {"an added rule file", [&] { std::ofstream(rules / "61-extra.conf") << "<fontconfig/>\n"; }, exact,
         "fonts: the system's font rules differ from the app's (61-extra.conf); using the system's font configuration"},
        {"a rule file taken out", [&] { std::filesystem::remove(rules / "10-hinting-slight.conf"); }, exact,
         "fonts: the system's font rules differ from the app's (10-hinting-slight.conf); using the system's font "
         "configuration"},
        {"a family the rules do not know", [] {}, withoutLato,
         "fonts: Lato not among the app's font families; using the system's font configuration"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.change();
        LogCapture log;
        auto loaded = FontConfig::load(FontConfig::defaultFontFolders(), c.baseline);
        EXPECT_FALSE(loaded.own);
        EXPECT_EQ(log.lines(), std::vector<std::string>{c.line});
        EXPECT_EQ(listedFaces(loaded.config.get()), listedFaces(system.get()));
        // Back to the exact baseline for the next case.
        std::filesystem::remove(rules / "61-extra.conf");
        std::ofstream(rules / "10-hinting-slight.conf") << "<fontconfig/>\n";
    }
}

TEST(FontConfigTest, AConfigurationChosenForTheRunIsUsedAsItStands)
{
    // The test programs choose theirs: DejaVu's folder only.
    ASSERT_NE(std::getenv("FONTCONFIG_FILE"), nullptr);
    LogCapture log;
    auto chosen = FontConfig::load(FontConfig::defaultFontFolders());
    EXPECT_FALSE(chosen.own);
    EXPECT_TRUE(log.lines().empty()) << testing::PrintToString(log.lines());
    auto faces = listedFaces(chosen.config.get());
    EXPECT_FALSE(faces.empty());
    for (const auto& [file, index] : faces)
        EXPECT_TRUE(file.starts_with("/usr/share/fonts/truetype/dejavu/")) << file;

    // The process's text is set with it, and it is current too, so that nothing
    // loads another configuration behind the app's back.
    EXPECT_FALSE(FontConfig::sharedIsOwn());
    EXPECT_EQ(listedFaces(FontConfig::shared()), faces);
    EXPECT_EQ(FcConfigGetCurrent(), FontConfig::shared());
}
