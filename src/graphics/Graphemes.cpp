#include "graphics/Graphemes.h"

#include "core/Utf8.h"

#include <glib.h>
#include <pango/pango.h>

#include <algorithm>

namespace vq {

namespace {

std::vector<std::size_t> boundariesOfValid(std::string_view text)
{
    std::vector<std::size_t> bounds{0};
    glong chars = g_utf8_strlen(text.data(), static_cast<gssize>(text.size()));
    if (chars <= 0)
        return bounds;
    std::vector<PangoLogAttr> attrs(static_cast<std::size_t>(chars) + 1);
    pango_get_log_attrs(text.data(), static_cast<int>(text.size()), -1, pango_language_get_default(), attrs.data(),
                        static_cast<int>(attrs.size()));
    const char* p = text.data();
    for (glong i = 1; i <= chars; ++i) {
        p = g_utf8_next_char(p);
        if (i == chars || attrs[static_cast<std::size_t>(i)].is_cursor_position)
            bounds.push_back(static_cast<std::size_t>(p - text.data()));
    }
    return bounds;
}

} // namespace

std::vector<std::size_t> graphemeBoundaries(std::string_view text)
{
    if (isValidUtf8(text))
        return boundariesOfValid(text);
    return boundariesOfValid(repairUtf8(text));
}

std::vector<std::string> graphemeClusters(std::string_view text)
{
    std::string valid = repairUtf8(text);
    auto bounds = boundariesOfValid(valid);
    std::vector<std::string> clusters;
    clusters.reserve(bounds.size() - 1);
    for (std::size_t i = 1; i < bounds.size(); ++i)
        clusters.push_back(valid.substr(bounds[i - 1], bounds[i] - bounds[i - 1]));
    return clusters;
}

std::size_t previousGraphemeBoundary(std::string_view text, std::size_t byteIndex)
{
    auto bounds = graphemeBoundaries(text.substr(0, std::min(byteIndex, text.size())));
    // Marks after the caret could join the last character; the caret is
    // already at a boundary, so the prefix splits the same way.
    return bounds.size() < 2 ? 0 : bounds[bounds.size() - 2];
}

} // namespace vq
