#include "core/Utf8.h"

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

} // namespace vq
