#include "core/StringAdditions.h"

#include <md5.h>

#include <cstdint>
#include <memory>

namespace vq {

namespace {

bool needsEscape(unsigned char c)
{
    if (c <= 0x20 || c > 126)
        return true;
    switch (c) {
    case '"': case '%': case '<': case '>': case '[': case '\\':
    case ']': case '^': case '`': case '{': case '|': case '}':
        return true;
    default:
        return false;
    }
}

// The next code point of UTF-8 text, or -1 for a malformed sequence.
long nextCodePoint(std::string_view s, std::size_t& i)
{
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int extra;
    long cp;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
    } else {
        return -1;
    }
    if (i + static_cast<std::size_t>(extra) >= s.size())
        return -1;
    for (int k = 1; k <= extra; ++k) {
        unsigned char b = byte(i + static_cast<std::size_t>(k));
        if ((b & 0xC0) != 0x80)
            return -1;
        cp = (cp << 6) | (b & 0x3F);
    }
    // Overlong forms are not text.
    static const long smallest[] = {0, 0x80, 0x800, 0x10000};
    if (cp < smallest[extra])
        return -1;
    i += static_cast<std::size_t>(extra) + 1;
    return cp;
}

} // namespace

std::optional<std::string> stringFromMD5(std::string_view text)
{
    text = text.substr(0, text.find('\0'));
    if (text.empty())
        return std::nullopt;
    MD5_CTX context;
    MD5Init(&context);
    MD5Update(&context, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    std::uint8_t digest[MD5_DIGEST_LENGTH];
    MD5Final(digest, &context);
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(2 * MD5_DIGEST_LENGTH);
    for (std::uint8_t byte : digest) {
        out += hex[byte >> 4];
        out += hex[byte & 0xF];
    }
    return out;
}

std::optional<std::string> percentEscapeLatin1(std::string_view utf8, std::string_view alsoEscape)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(utf8.size() + utf8.size() / 4);
    std::size_t i = 0;
    while (i < utf8.size()) {
        long cp = nextCodePoint(utf8, i);
        if (cp <= 0 || cp > 0xFF)
            return std::nullopt;
        auto c = static_cast<unsigned char>(cp);
        if (needsEscape(c) || alsoEscape.find(static_cast<char>(c)) != std::string_view::npos) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string_view prefixWithin(std::string_view utf8, std::size_t maxBytes)
{
    if (utf8.size() <= maxBytes)
        return utf8;
    std::size_t cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80)
        --cut;
    return utf8.substr(0, cut);
}

void appendXmlEscaped(std::string& out, std::string_view text)
{
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\r': out += "&#13;"; break;
        default: out += c;
        }
    }
}

std::string percentEscapeQueryValue(std::string_view bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes) {
        bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                          c == '.' || c == '_' || c == '~';
        if (unreserved) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xF];
        }
    }
    return out;
}

} // namespace vq
