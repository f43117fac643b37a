// Every promotion link and server URL goes through encodeURL: the result must
// be all URL-safe characters and decode back to exactly the Latin-1 form of
// the input; nothing only when the input has no Latin-1 form (iconv decides)
// or holds a NUL, which would end the address.
#include "Check.h"

#include "promotion/Gobals.h"

#include <iconv.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace {

std::optional<std::string> latin1(std::string_view utf8)
{
    static iconv_t cd = iconv_open("ISO-8859-1", "UTF-8");
    require(cd != reinterpret_cast<iconv_t>(-1), "iconv cannot convert UTF-8 to Latin-1");
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out(utf8.size(), '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* o = out.data();
    std::size_t outLeft = out.size();
    if (iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0)
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

int hex(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1; // lower case is not what the escaper writes
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto escaped = vq::Gobals::encodeURL(text);
    auto expected = text.find('\0') == std::string_view::npos ? latin1(text) : std::nullopt;
    require(escaped.has_value() == expected.has_value(), "escaped exactly when the text has a Latin-1 form");
    if (!escaped)
        return 0;
    std::string decoded;
    for (std::size_t i = 0; i < escaped->size(); ++i) {
        unsigned char c = static_cast<unsigned char>((*escaped)[i]);
        if (c == '%') {
            int hi = i + 2 < escaped->size() ? hex((*escaped)[i + 1]) : -1;
            int lo = i + 2 < escaped->size() ? hex((*escaped)[i + 2]) : -1;
            require(hi >= 0 && lo >= 0, "a % without two upper-case hex digits", *escaped);
            decoded.push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
            continue;
        }
        require(c > ' ' && c < 127 && !std::strchr("\"<>[\\]^`{|}", c), "a character left unescaped", *escaped);
        decoded.push_back(static_cast<char>(c));
    }
    require(decoded == *expected, "the escaped text decodes to something else", *escaped);
    return 0;
}
