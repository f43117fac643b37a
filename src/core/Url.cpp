#include "core/Url.h"

#include <cctype>
#include <charconv>

namespace vq {

namespace {

bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    return std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
}

// Printable ASCII a URL may carry as it is; a space, a control character, a
// byte past ASCII or one of the never-allowed delimiters is refused.
bool isUrlCharacter(char c)
{
    auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7f)
        return false;
    switch (c) {
    case '"':
    case '<':
    case '>':
    case '\\':
    case '^':
    case '`':
    case '{':
    case '|':
    case '}': return false;
    default: return true;
    }
}

bool wellEscaped(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!isUrlCharacter(text[i]))
            return false;
        if (text[i] == '%') {
            if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2]))
                return false;
            i += 2;
        }
    }
    return true;
}

std::string unescaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && isHex(text[i + 1]) && isHex(text[i + 2])) {
            out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

} // namespace

std::optional<Url> Url::parse(std::string_view text)
{
    if (!wellEscaped(text))
        return std::nullopt;
    auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(text[0])))
        return std::nullopt;
    Url url;
    url._text = std::string(text);
    for (char c : text.substr(0, colon)) {
        auto u = static_cast<unsigned char>(c);
        if (!std::isalnum(u) && c != '+' && c != '-' && c != '.')
            return std::nullopt;
        url._scheme.push_back(static_cast<char>(std::tolower(u)));
    }
    std::string_view rest = text.substr(colon + 1);

    if (auto hash = rest.find('#'); hash != std::string_view::npos) {
        url._fragment = std::string(rest.substr(hash + 1));
        rest = rest.substr(0, hash);
    }
    if (auto question = rest.find('?'); question != std::string_view::npos) {
        url._query = std::string(rest.substr(question + 1));
        rest = rest.substr(0, question);
    }
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        auto slash = rest.find('/');
        std::string_view authority = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
        if (auto at = authority.rfind('@'); at != std::string_view::npos)
            authority = authority.substr(at + 1);
        std::string_view host = authority;
        std::string_view port;
        if (authority.starts_with('[')) {
            auto close = authority.find(']');
            if (close == std::string_view::npos)
                return std::nullopt;
            host = authority.substr(0, close + 1);
            std::string_view after = authority.substr(close + 1);
            if (!after.empty()) {
                if (after[0] != ':')
                    return std::nullopt;
                port = after.substr(1);
            }
        } else if (auto portColon = authority.rfind(':'); portColon != std::string_view::npos) {
            host = authority.substr(0, portColon);
            port = authority.substr(portColon + 1);
        }
        if (host.find_first_of("[]") != std::string_view::npos && !host.starts_with('['))
            return std::nullopt;
        if (!port.empty()) {
            int value = 0;
            auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
            if (ec != std::errc() || end != port.data() + port.size() || value > 65535 || port[0] == '+')
                return std::nullopt;
            url._port = value;
        }
        url._host = std::string(host);
    }
    url._path = std::string(rest);
    return url;
}

std::string Url::lastPathComponent() const
{
    std::string_view path = _path;
    if (path.empty())
        return {};
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    if (path == "/")
        return "/";
    auto slash = path.rfind('/');
    return unescaped(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

} // namespace vq
