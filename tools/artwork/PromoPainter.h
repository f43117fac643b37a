#pragma once

#include <cairo.h>

#include <string>
#include <string_view>

namespace vq::artwork {

// The promotion server's pictures: promoted apps' icons, the big ad's
// picture and banners. Each is seeded by its key, so a key always gives the
// same picture and different apps look different.
class PromoPainter {
public:
    // A rounded app icon with a motif and the title's initial.
    static void appIcon(cairo_t* cr, double side, std::string_view key, std::string_view title);
    // The big ad's picture: a scene around the app's icon with its title.
    static void adPicture(cairo_t* cr, double width, double height, std::string_view key, std::string_view title);
    // A banner strip; a test banner says so.
    static void banner(cairo_t* cr, double width, double height, std::string_view unit, bool test);

    // Draws at scale into a width x height point picture and returns PNG
    // bytes (empty on failure).
    template<typename Paint>
    static std::string png(double width, double height, double scale, Paint&& paint)
    {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(width * scale),
                                                        static_cast<int>(height * scale));
        cairo_t* cr = cairo_create(s);
        cairo_scale(cr, scale, scale);
        paint(cr);
        cairo_destroy(cr);
        std::string out = encode(s);
        cairo_surface_destroy(s);
        return out;
    }

private:
    static std::string encode(cairo_surface_t* surface);
};

} // namespace vq::artwork
