#pragma once

#include "platform/Owned.h"

#include <fontconfig/fontconfig.h>

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

    // The process's configuration, loaded on first use. Main thread only.
    static FcConfig* shared();
    // Whether shared() is the app's own configuration rather than the system's.
    static bool sharedIsOwn();

    // The app's configuration over these font folders, or the system's when a
    // face the app cannot do without (its system font) is not among them, or
    // when FONTCONFIG_FILE or FONTCONFIG_PATH choose a configuration.
    static Loaded load(const std::vector<std::string>& fontFolders);
    // The folders the app's configuration names: where distributions, the
    // administrator and the user install fonts.
    static std::vector<std::string> defaultFontFolders();
    // The system's own configuration, as fontconfig loads it by default.
    static FcConfigOwner loadSystem();

private:
    static std::string configurationText(const std::vector<std::string>& fontFolders);
};

} // namespace vq
