#include "platform/Graphemes.h"

#include <glib.h>
#include <pango/pango.h>

#include <algorithm>

namespace vq {

namespace {

// Length of the well-formed UTF-8 sequence at s[i], or 0. NUL is a character
// like any other (glib's validation would refuse it).
std::size_t sequenceLength(std::string_view s, std::size_t i)
{
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char lead = byte(i);
    if (lead < 0x80)
        return 1;
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // overlong
        if (lead == 0xED)
            high = 0x9F; // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F; // beyond U+10FFFF
    } else
        return 0;
    if (i + length > s.size() || byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
            return 0;
    return length;
}

} // namespace

bool isValidUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = sequenceLength(text, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string repairUtf8(std::string_view text)
{
    if (isValidUtf8(text))
        return std::string(text);
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size();) {
        if (std::size_t n = sequenceLength(text, i)) {
            out.append(text.substr(i, n));
            i += n;
        } else {
            out += "\xEF\xBF\xBD"; // U+FFFD
            ++i;
        }
    }
    return out;
}

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
