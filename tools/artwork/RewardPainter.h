#pragma once

#include "artwork/ArtworkCatalogue.h"

#include <vector>

namespace vq::artwork {

// The reward wall's pictures ("ad-img/..."): the header, the page and table
// backgrounds, rows, the credits button, the progress bar and its track, the
// back and help buttons and the help card (its close button is the big ad's
// "ad-close"), for phones and tablets. A deep night-violet page with warm gold for what the user earns.
class RewardPainter {
public:
    static std::vector<ArtworkItem> items();

    static void header(cairo_t* cr, double width, double height);
    static void page(cairo_t* cr, double width, double height, double headerHeight);
    static void tableBackground(cairo_t* cr, double width, double height);
    static void row(cairo_t* cr, double width, double height, bool alternate);
    static void creditsButton(cairo_t* cr, double width, double height);
    // The credits button of an app that is already installed.
    static void installedButton(cairo_t* cr, double width, double height);
    static void progressBar(cairo_t* cr, double width, double height);
    static void progressTrack(cairo_t* cr, double width, double height);
    static void backButton(cairo_t* cr, double width, double height);
    static void helpButton(cairo_t* cr, double width, double height);
    static void helpCard(cairo_t* cr, double width, double height);
};

} // namespace vq::artwork
