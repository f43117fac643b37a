#pragma once

#include "core/Owned.h"

#include <fontconfig/fontconfig.h>

#include <set>
#include <string>
#include <vector>

namespace vq {

using FcConfigOwner = Owned<FcConfig, FcConfigDestroy>;

// The fontconfig configuration the app sets its text with. Reading the
// system's /etc/fonts (a few dozen rule files) cost about a quarter of a
// card's instructions, so the app carries its own: the usual font folders,
// the system's caches, and only the rules that change how the installed
// faces look or what stands in for a missing glyph.
class FontConfig {
public:
    struct Loaded {
        FcConfigOwner config;
        bool own = false; // false: the system's configuration
    };

    // What the app's rules were checked against, face by face, on Debian: the
    // system's rule files and the font families of the packages the app
    // installs. Anything else (another package's aliases, an administrator's
    // rule, a family the app's rules do not classify) decides how a missing
    // glyph falls back in ways the app's rules do not reproduce.
    struct Baseline {
        std::string rulesFolder;
        std::set<std::string> rules;    // file names in rulesFolder
        std::set<std::string> families; // first family names of the installed faces
    };
    static const Baseline& baseline();

    // The process's configuration, loaded on first use. Main thread only.
    static FcConfig* shared();
    // Whether shared() is the app's own configuration rather than the system's.
    static bool sharedIsOwn();

    // The app's configuration over these font folders, or the system's when a
    // face the app cannot do without (its system font) is not among them, when
    // the system's rules or the installed families are not the baseline's, or
    // when FONTCONFIG_FILE or FONTCONFIG_PATH choose a configuration.
    static Loaded load(const std::vector<std::string>& fontFolders, const Baseline& against = baseline());
    // The folders the app's configuration names: where distributions, the
    // administrator and the user install fonts.
    static std::vector<std::string> defaultFontFolders();
    // The system's own configuration, as fontconfig loads it by default.
    static FcConfigOwner loadSystem();

private:
    static std::string configurationText(const std::vector<std::string>& fontFolders);
};

} // namespace vq
