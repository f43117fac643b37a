#include "analytics/JsonLine.h"

#include <cstdlib>

namespace vq::test {

namespace {

class Reader {
public:
    explicit Reader(std::string_view s) : _s(s) {}

    std::optional<JsonObject> object()
    {
        JsonObject result;
        if (!take('{'))
            return std::nullopt;
        if (!take('}')) {
            do {
                auto key = string();
                if (!key || !take(':'))
                    return std::nullopt;
                auto v = value();
                if (!v || !result.emplace(*key, *v).second)
                    return std::nullopt;
            } while (take(','));
            if (!take('}'))
                return std::nullopt;
        }
        skipSpace();
        return _i == _s.size() ? std::optional(result) : std::nullopt;
    }

private:
    void skipSpace()
    {
        while (_i < _s.size() && (_s[_i] == ' ' || _s[_i] == '\t'))
            ++_i;
    }
    bool take(char c)
    {
        skipSpace();
        if (_i < _s.size() && _s[_i] == c) {
            ++_i;
            return true;
        }
        return false;
    }
    bool word(std::string_view w)
    {
        if (_s.substr(_i, w.size()) != w)
            return false;
        _i += w.size();
        return true;
    }

    std::optional<JsonValue> value()
    {
        skipSpace();
        if (_i >= _s.size())
            return std::nullopt;
        if (_s[_i] == '"') {
            auto s = string();
            return s ? std::optional<JsonValue>(*s) : std::nullopt;
        }
        if (word("true"))
            return JsonValue(true);
        if (word("false"))
            return JsonValue(false);
        if (word("null"))
            return JsonValue(nullptr);
        std::size_t start = _i;
        if (_i < _s.size() && _s[_i] == '-')
            ++_i;
        while (_i < _s.size() && ((_s[_i] >= '0' && _s[_i] <= '9') || _s[_i] == '.' || _s[_i] == 'e' || _s[_i] == 'E' || _s[_i] == '+' || _s[_i] == '-'))
            ++_i;
        std::string number(_s.substr(start, _i - start));
        char* end = nullptr;
        double d = std::strtod(number.c_str(), &end);
        if (number.empty() || end != number.c_str() + number.size())
            return std::nullopt;
        return JsonValue(d);
    }

    std::optional<unsigned> hex4()
    {
        if (_i + 4 > _s.size())
            return std::nullopt;
        unsigned v = 0;
        for (int k = 0; k < 4; ++k) {
            char c = _s[_i++];
            v <<= 4;
            if (c >= '0' && c <= '9')
                v |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                v |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                v |= static_cast<unsigned>(c - 'A' + 10);
            else
                return std::nullopt;
        }
        return v;
    }

    static void appendUtf8(std::string& out, unsigned cp)
    {
        auto put = [&](unsigned v) { out += static_cast<char>(v); };
        if (cp < 0x80)
            put(cp);
        else if (cp < 0x800) {
            put(0xC0 | (cp >> 6));
            put(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            put(0xE0 | (cp >> 12));
            put(0x80 | ((cp >> 6) & 0x3F));
            put(0x80 | (cp & 0x3F));
        } else {
            put(0xF0 | (cp >> 18));
            put(0x80 | ((cp >> 12) & 0x3F));
            put(0x80 | ((cp >> 6) & 0x3F));
            put(0x80 | (cp & 0x3F));
        }
    }

    std::optional<std::string> string()
    {
        if (!take('"'))
            return std::nullopt;
        std::string out;
        while (_i < _s.size()) {
            auto c = static_cast<unsigned char>(_s[_i++]);
            if (c == '"')
                return out;
            if (c < 0x20)
                return std::nullopt;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (_i >= _s.size())
                return std::nullopt;
            char e = _s[_i++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                auto cp = hex4();
                if (!cp)
                    return std::nullopt;
                if (*cp >= 0xD800 && *cp < 0xDC00) {
                    if (!word("\\u"))
                        return std::nullopt;
                    auto low = hex4();
                    if (!low || *low < 0xDC00 || *low > 0xDFFF)
                        return std::nullopt;
                    *cp = 0x10000 + ((*cp - 0xD800) << 10) + (*low - 0xDC00);
                } else if (*cp >= 0xDC00 && *cp <= 0xDFFF)
                    return std::nullopt;
                appendUtf8(out, *cp);
                break;
            }
            default:
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    std::string_view _s;
    std::size_t _i = 0;
};

} // namespace

std::optional<JsonObject> parseJsonObject(std::string_view text) { return Reader(text).object(); }

} // namespace vq::test
