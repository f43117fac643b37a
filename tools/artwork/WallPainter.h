#pragma once

#include "artwork/ArtworkCatalogue.h"

#include <cairo.h>

#include <vector>

namespace vq::artwork {

// The wall ad's pictures: the card, its grid rows and the installed badge,
// all under "ad-img/". Its close and get buttons are the big ad's.
class WallPainter {
public:
    // The card: a header for the featured app above an inset well for the grid.
    // well is the grid's frame in the card.
    static void card(cairo_t* cr, double width, double height, double wellX, double wellY, double wellW, double wellH);
    // One grid row: a faint divider under it and between its columns.
    static void row(cairo_t* cr, double width, double height, int columns, double pitch);
    // A green seal with a tick.
    static void installedBadge(cairo_t* cr, double side);

    static void addItems(std::vector<ArtworkItem>& items);
};

} // namespace vq::artwork
