#include "support/JsonTree.h"

#include <charconv>
#include <cstdlib>

namespace vq::test {

bool Json::has(const std::string& key) const
{
    auto* object = std::get_if<Object>(&value);
    return object && object->contains(key);
}

std::size_t Json::size() const
{
    if (auto* a = std::get_if<Array>(&value))
        return a->size();
    return std::get<Object>(value).size();
}

namespace {

class Reader {
public:
    explicit Reader(std::string_view text) : _s(text) {}

    std::optional<Json> document()
    {
        auto v = value();
        space();
        if (!v || _i != _s.size())
            return std::nullopt;
        return v;
    }

private:
    void space()
    {
        while (_i < _s.size() && (_s[_i] == ' ' || _s[_i] == '\n' || _s[_i] == '\t' || _s[_i] == '\r'))
            ++_i;
    }
    bool literal(std::string_view word)
    {
        if (_s.substr(_i, word.size()) != word)
            return false;
        _i += word.size();
        return true;
    }

    std::optional<Json> value()
    {
        space();
        if (_i >= _s.size())
            return std::nullopt;
        char c = _s[_i];
        if (c == '{')
            return object();
        if (c == '[')
            return array();
        if (c == '"') {
            auto s = string();
            if (!s)
                return std::nullopt;
            return Json{*s};
        }
        if (literal("null"))
            return Json{nullptr};
        if (literal("true"))
            return Json{true};
        if (literal("false"))
            return Json{false};
        return number();
    }

    std::optional<Json> number()
    {
        std::size_t end = _s.find_first_not_of("+-0123456789.eE", _i);
        if (end == std::string_view::npos)
            end = _s.size();
        std::string text(_s.substr(_i, end - _i));
        if (text.empty())
            return std::nullopt;
        char* stop = nullptr;
        double v = std::strtod(text.c_str(), &stop);
        if (stop != text.c_str() + text.size())
            return std::nullopt;
        _i = end;
        return Json{v};
    }

    std::optional<std::string> string()
    {
        std::string out;
        ++_i; // opening quote
        while (_i < _s.size()) {
            char c = _s[_i++];
            if (c == '"')
                return out;
            if (static_cast<unsigned char>(c) < 0x20)
                return std::nullopt;
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (_i >= _s.size())
                return std::nullopt;
            char e = _s[_i++];
            switch (e) {
            case '"': out.push_back('"'); break;
            case '\\': out.push_back('\\'); break;
            case '/': out.push_back('/'); break;
            case 'b': out.push_back('\b'); break;
            case 'f': out.push_back('\f'); break;
            case 'n': out.push_back('\n'); break;
            case 'r': out.push_back('\r'); break;
            case 't': out.push_back('\t'); break;
            case 'u': {
                if (_i + 4 > _s.size())
                    return std::nullopt;
                unsigned code = 0;
                auto [p, ec] = std::from_chars(_s.data() + _i, _s.data() + _i + 4, code, 16);
                // Our writers escape only control characters and U+FFFD: no surrogate pairs.
                if (ec != std::errc() || p != _s.data() + _i + 4 || (code >= 0xD800 && code <= 0xDFFF))
                    return std::nullopt;
                if (code < 0x80) {
                    out.push_back(static_cast<char>(code));
                } else if (code < 0x800) {
                    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
                    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
                } else {
                    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
                    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
                    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
                }
                _i += 4;
                break;
            }
            default: return std::nullopt;
            }
        }
        return std::nullopt;
    }

    std::optional<Json> array()
    {
        ++_i;
        Json::Array items;
        space();
        if (_i < _s.size() && _s[_i] == ']') {
            ++_i;
            return Json{items};
        }
        for (;;) {
            auto v = value();
            if (!v)
                return std::nullopt;
            items.push_back(std::move(*v));
            space();
            if (_i < _s.size() && _s[_i] == ',') {
                ++_i;
                continue;
            }
            if (_i < _s.size() && _s[_i] == ']') {
                ++_i;
                return Json{items};
            }
            return std::nullopt;
        }
    }

    std::optional<Json> object()
    {
        ++_i;
        Json::Object members;
        space();
        if (_i < _s.size() && _s[_i] == '}') {
            ++_i;
            return Json{members};
        }
        for (;;) {
            space();
            if (_i >= _s.size() || _s[_i] != '"')
                return std::nullopt;
            auto key = string();
            space();
            if (!key || _i >= _s.size() || _s[_i] != ':')
                return std::nullopt;
            ++_i;
            auto v = value();
            if (!v || members.contains(*key))
                return std::nullopt;
            members.emplace(*key, std::move(*v));
            space();
            if (_i < _s.size() && _s[_i] == ',') {
                ++_i;
                continue;
            }
            if (_i < _s.size() && _s[_i] == '}') {
                ++_i;
                return Json{members};
            }
            return std::nullopt;
        }
    }

    std::string_view _s;
    std::size_t _i = 0;
};

} // namespace

std::optional<Json> parseJson(std::string_view text) { return Reader(text).document(); }

} // namespace vq::test
