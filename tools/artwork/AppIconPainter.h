#pragma once

#include <cairo.h>

#include <filesystem>
#include <optional>
#include <string>

namespace vq::artwork {

// The application's icon for the desktop's menus: a card with lines of text
// and a quill on velvet.
class AppIconPainter {
public:
    // The sizes the desktop's icon theme is given, in pixels.
    static constexpr int sizes[] = {48, 128, 256};

    static void paint(cairo_t* cr, double side);
    // Writes DIR/hicolor/NxN/apps/velvet-quill.png for each size; an error message on failure.
    static std::optional<std::string> writeThemeIcons(const std::filesystem::path& dir);
};

} // namespace vq::artwork
