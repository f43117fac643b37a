#include "graphics/FontConfig.h"

#include "core/Log.h"
#include "core/Owned.h"
#include "core/StringAdditions.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <string_view>

namespace vq {

namespace {

// What the system's rule files do to the faces the app installs, and nothing
// for faces it does not: antialiased, slightly hinted outlines; DejaVu unhinted
// below 8 pixels; synthetic bold and oblique for families without them; bitmap
// (colour emoji) strikes scaled to the size asked for; DejaVu and the colour
// emoji font as the generic families, so a glyph a face lacks falls back as before.
constexpr const char* kRules = R"(
  <cachedir>/var/cache/fontconfig</cachedir>
  <cachedir prefix="xdg">fontconfig</cachedir>
  <cachedir>~/.fontconfig</cachedir>
  <selectfont>
    <rejectfont>
      <glob>*.dpkg-tmp</glob>
      <glob>*.dpkg-new</glob>
      <pattern><patelt name="scalable"><bool>false</bool></patelt></pattern>
    </rejectfont>
  </selectfont>

  <match target="pattern">
    <edit name="hintstyle" mode="append"><const>hintslight</const></edit>
    <edit name="antialias" mode="append"><bool>true</bool></edit>
    <edit name="lcdfilter" mode="append"><const>lcddefault</const></edit>
  </match>
  <match target="font">
    <test name="outline" compare="eq"><bool>false</bool></test>
    <edit name="pixelsizefixupfactor" mode="assign">
      <divide><name target="pattern">pixelsize</name><name target="font">pixelsize</name></divide>
    </edit>
  </match>
  <match target="font">
    <test name="outline" compare="eq"><bool>false</bool></test>
    <test name="scalable" compare="eq"><bool>false</bool></test>
    <test name="hinting" compare="eq"><bool>true</bool></test>
    <edit name="scalingnotneeded" mode="assign">
      <and>
        <less><name>pixelsizefixupfactor</name><double>1.2</double></less>
        <more><name>pixelsizefixupfactor</name><double>0.8</double></more>
      </and>
    </edit>
  </match>
  <match target="font">
    <test name="scalingnotneeded" compare="eq"><bool>true</bool></test>
    <edit name="pixelsizefixupfactor" mode="assign"><double>1.0</double></edit>
  </match>
  <match target="font">
    <test name="outline" compare="eq"><bool>false</bool></test>
    <test name="pixelsizefixupfactor" compare="not_eq"><double>1.0</double></test>
    <edit name="matrix" mode="assign">
      <times>
        <name>matrix</name>
        <matrix><name>pixelsizefixupfactor</name><double>0</double><double>0</double><name>pixelsizefixupfactor</name></matrix>
      </times>
    </edit>
    <edit name="size" mode="assign"><divide><name>size</name><name>pixelsizefixupfactor</name></divide></edit>
  </match>
  <match target="font">
    <test name="family"><string>DejaVu Sans</string></test>
    <test compare="less" name="pixelsize"><double>7.5</double></test>
    <edit name="hinting"><bool>false</bool></edit>
  </match>
  <match target="font">
    <test name="family"><string>DejaVu Serif</string></test>
    <test compare="less" name="pixelsize"><double>7.5</double></test>
    <edit name="hinting"><bool>false</bool></edit>
  </match>
  <match target="font">
    <test name="family"><string>DejaVu Sans Mono</string></test>
    <test compare="less" name="pixelsize"><double>7.5</double></test>
    <edit name="hinting"><bool>false</bool></edit>
  </match>

  <alias binding="same">
    <family>Noto Color Emoji</family>
    <default><family>emoji</family></default>
  </alias>
  <match>
    <test name="family"><string>emoji</string></test>
    <edit name="lang" mode="prepend"><string>und-zsye</string></edit>
  </match>
  <match>
    <test name="lang"><string>und-zsye</string></test>
    <test qual="all" name="family" compare="not_eq"><string>emoji</string></test>
    <edit name="family" mode="append" binding="strong"><string>emoji</string></edit>
  </match>
  <alias><family>DejaVu Serif</family><default><family>serif</family></default></alias>
  <alias><family>DejaVu Sans</family><default><family>sans-serif</family></default></alias>
  <alias><family>DejaVu Sans Mono</family><default><family>monospace</family></default></alias>
  <match target="pattern">
    <test qual="all" name="family" compare="not_eq"><string>sans-serif</string></test>
    <test qual="all" name="family" compare="not_eq"><string>serif</string></test>
    <test qual="all" name="family" compare="not_eq"><string>monospace</string></test>
    <edit name="family" mode="append_last"><string>sans-serif</string></edit>
  </match>
  <!-- The administrator's and the person's own settings, where the system reads them. -->
  <include ignore_missing="yes">/etc/fonts/local.conf</include>
  <include ignore_missing="yes" prefix="xdg">fontconfig/conf.d</include>
  <include ignore_missing="yes" prefix="xdg">fontconfig/fonts.conf</include>
  <match>
    <test name="lang"><string>und-zsye</string></test>
    <test qual="all" name="color" compare="not_eq"><bool>true</bool></test>
    <test qual="all" name="color" compare="not_eq"><bool>false</bool></test>
    <edit name="color" mode="append"><bool>true</bool></edit>
  </match>
  <alias binding="same"><family>emoji</family><prefer><family>Noto Color Emoji</family></prefer></alias>
  <alias><family>serif</family><prefer><family>DejaVu Serif</family></prefer></alias>
  <alias><family>sans-serif</family><prefer><family>DejaVu Sans</family></prefer></alias>
  <alias><family>monospace</family><prefer><family>DejaVu Sans Mono</family></prefer></alias>

  <match target="font">
    <test name="slant"><const>roman</const></test>
    <test target="pattern" name="slant" compare="not_eq"><const>roman</const></test>
    <edit name="matrix" mode="assign">
      <times><name>matrix</name><matrix><double>1</double><double>0.2</double><double>0</double><double>1</double></matrix></times>
    </edit>
    <edit name="slant" mode="assign"><const>oblique</const></edit>
    <edit name="embeddedbitmap" mode="assign"><bool>false</bool></edit>
  </match>
  <match target="font">
    <test name="weight" compare="less_eq"><const>medium</const></test>
    <test target="pattern" name="weight" compare="more_eq"><const>bold</const></test>
    <edit name="embolden" mode="assign"><bool>true</bool></edit>
    <edit name="weight" mode="assign"><const>bold</const></edit>
  </match>
)";

// The faces the app cannot do without: its system font, regular and bold.
constexpr const char* kRequiredFaces[] = {"DejaVuSans", "DejaVuSans-Bold"};

// Up to three names, and how many more.
std::string someOf(const std::vector<std::string>& names)
{
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < 3; ++i)
        text += (i ? ", " : "") + names[i];
    if (names.size() > 3)
        text += fmt::format(" and {} more", names.size() - 3);
    return text;
}

// What the checks need from the faces a configuration found: the required faces
// that are not among them, and the families the app does not know. One pass over
// the configuration's own font sets, which (unlike a listing) copies nothing.
struct FaceSurvey {
    std::string missing;
    std::vector<std::string> unknownFamilies;
};

FaceSurvey surveyFaces(FcConfig* config, const std::set<std::string>& known)
{
    std::set<std::string_view> required(std::begin(kRequiredFaces), std::end(kRequiredFaces));
    std::set<std::string> unknown;
    for (FcSetName which : {FcSetSystem, FcSetApplication}) {
        FcFontSet* set = FcConfigGetFonts(config, which);
        for (int i = 0; set && i < set->nfont; ++i) {
            FcChar8* text = nullptr;
            if (FcPatternGetString(set->fonts[i], FC_POSTSCRIPT_NAME, 0, &text) == FcResultMatch && text)
                required.erase(reinterpret_cast<const char*>(text));
            if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &text) == FcResultMatch && text &&
                !known.contains(reinterpret_cast<const char*>(text)))
                unknown.insert(reinterpret_cast<const char*>(text));
        }
    }
    FaceSurvey survey;
    for (const char* face : kRequiredFaces)
        if (required.contains(face))
            survey.missing += (survey.missing.empty() ? "" : ", ") + std::string(face);
    survey.unknownFamilies.assign(unknown.begin(), unknown.end());
    return survey;
}

// Rule files added to the system's folder, or taken out of it.
std::vector<std::string> changedRules(const FontConfig::Baseline& baseline)
{
    std::set<std::string> present;
    // readdir: a directory_iterator builds a full path for each of the folder's entries.
    if (Owned<DIR, closedir> folder(opendir(baseline.rulesFolder.c_str())); folder)
        while (const dirent* entry = readdir(folder.get()))
            if (std::string_view name = entry->d_name; name.ends_with(".conf"))
                present.emplace(name);
    std::vector<std::string> changed;
    std::set_symmetric_difference(present.begin(), present.end(), baseline.rules.begin(), baseline.rules.end(),
                                  std::back_inserter(changed));
    return changed;
}

FontConfig::Loaded& sharedLoaded()
{
    static FontConfig::Loaded loaded = [] {
        FontConfig::Loaded l = FontConfig::load(FontConfig::defaultFontFolders());
        // Pango's font map calls FcInit on a thread of its own whatever configuration
        // it is handed, which would read the system's /etc/fonts after all; with ours
        // current that call finds a configuration and loads nothing.
        FcConfigSetCurrent(l.config.get());
        return l;
    }();
    return loaded;
}

} // namespace

const FontConfig::Baseline& FontConfig::baseline()
{
    static const Baseline b{
        "/etc/fonts/conf.d",
        {"10-hinting-slight.conf", "10-scale-bitmap-fonts.conf", "10-yes-antialias.conf", "11-lcdfilter-default.conf",
         "20-unhint-small-dejavu-lgc-sans-mono.conf", "20-unhint-small-dejavu-lgc-sans.conf",
         "20-unhint-small-dejavu-lgc-serif.conf", "20-unhint-small-dejavu-sans-mono.conf",
         "20-unhint-small-dejavu-sans.conf", "20-unhint-small-dejavu-serif.conf", "20-unhint-small-vera.conf",
         "30-comic-sans.conf", "30-metric-aliases.conf", "40-nonlatin.conf", "45-generic.conf", "45-latin.conf",
         "48-spacing.conf", "49-sansserif.conf", "50-user.conf", "51-local.conf", "57-dejavu-sans-mono.conf",
         "57-dejavu-sans.conf", "57-dejavu-serif.conf", "58-dejavu-lgc-sans-mono.conf", "58-dejavu-lgc-sans.conf",
         "58-dejavu-lgc-serif.conf", "60-generic.conf", "60-latin.conf", "65-fonts-persian.conf", "65-nonlatin.conf",
         "69-unifont.conf", "70-no-bitmaps.conf", "80-delicious.conf", "90-synthetic.conf"},
        {"Comfortaa", "Comic Neue", "Dancing Script", "DejaVu Math TeX Gyre", "DejaVu Sans", "DejaVu Sans Mono",
         "DejaVu Serif", "EB Garamond", "Lato", "Lobster Two", "Noto Color Emoji", "Quicksand", "Quicksand Light",
         "Quicksand Medium"},
    };
    return b;
}

FcConfig* FontConfig::shared() { return sharedLoaded().config.get(); }

bool FontConfig::sharedIsOwn() { return sharedLoaded().own; }

std::vector<std::string> FontConfig::defaultFontFolders()
{
    std::vector<std::string> folders{"/usr/share/fonts", "/usr/local/share/fonts"};
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (dataHome && *dataHome)
        folders.push_back(std::string(dataHome) + "/fonts");
    else if (home && *home)
        folders.push_back(std::string(home) + "/.local/share/fonts");
    if (home && *home)
        folders.push_back(std::string(home) + "/.fonts");
    return folders;
}

std::string FontConfig::configurationText(const std::vector<std::string>& fontFolders)
{
    std::string text = "<?xml version=\"1.0\"?>\n<fontconfig>\n";
    for (const auto& folder : fontFolders) {
        text += "  <dir>";
        appendXmlEscaped(text, folder);
        text += "</dir>\n";
    }
    text += kRules;
    text += "</fontconfig>\n";
    return text;
}

FcConfigOwner FontConfig::loadSystem() { return FcConfigOwner(FcInitLoadConfigAndFonts()); }

FontConfig::Loaded FontConfig::load(const std::vector<std::string>& fontFolders, const Baseline& against)
{
    // Someone chose a configuration for this run: theirs, not ours.
    for (const char* variable : {"FONTCONFIG_FILE", "FONTCONFIG_PATH", "FONTCONFIG_SYSROOT"})
        if (const char* value = std::getenv(variable); value && *value)
            return {loadSystem(), false};

    FcConfigOwner config(FcConfigCreate());
    std::string text = configurationText(fontFolders);
    if (config &&
        FcConfigParseAndLoadFromMemory(config.get(), reinterpret_cast<const FcChar8*>(text.c_str()), FcTrue) &&
        FcConfigBuildFonts(config.get())) {
        auto survey = surveyFaces(config.get(), against.families);
        if (!survey.missing.empty()) {
            // Fonts kept somewhere else (another distribution): the system knows where.
            log("fonts: {} not in the app's font folders; using the system's font configuration", survey.missing);
        } else if (auto rules = changedRules(against); !rules.empty()) {
            log("fonts: the system's font rules differ from the app's ({}); using the system's font configuration",
                someOf(rules));
        } else if (!survey.unknownFamilies.empty()) {
            // Their packages' aliases and the system's metric rules decide what stands in for a
            // glyph those faces lack; the app's rules know only the families it installs.
            log("fonts: {} not among the app's font families; using the system's font configuration",
                someOf(survey.unknownFamilies));
        } else {
            return {std::move(config), true};
        }
    } else {
        log("fonts: the app's font configuration did not load; using the system's");
    }
    return {loadSystem(), false};
}

} // namespace vq
