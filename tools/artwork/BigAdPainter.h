#pragma once

#include "artwork/ArtworkCatalogue.h"

#include <cairo.h>

#include <vector>

namespace vq::artwork {

// The big ad's card, its close and its get button ("ad-img/..."), in the
// phone, tall-phone and tablet sizes the ad shows them at.
class BigAdPainter {
public:
    // A dark velvet card with a framed well where the app's picture goes
    // (picture: that well's rectangle in the card).
    static void card(cairo_t* cr, double width, double height, double pictureX, double pictureY,
                     double pictureWidth, double pictureHeight);
    // A round close badge with a cross.
    static void closeButton(cairo_t* cr, double side);
    // A rounded "GET" pill.
    static void getButton(cairo_t* cr, double width, double height);

    static void addItems(std::vector<ArtworkItem>& items);
};

} // namespace vq::artwork
