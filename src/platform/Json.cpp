#include "platform/Json.h"

#include <fmt/format.h>

#include <cmath>

namespace vq {

namespace {

// Length of the well-formed UTF-8 sequence at s[i], or 0.
std::size_t utf8SequenceLength(std::string_view s, std::size_t i)
{
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char lead = byte(i);
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

void appendJsonString(std::string& out, std::string_view text)
{
    out.push_back('"');
    for (std::size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            // Text can come from outside (a server, a script): malformed UTF-8
            // becomes U+FFFD so the output stays valid JSON.
            if (std::size_t n = utf8SequenceLength(text, i)) {
                out.append(text.substr(i, n));
                i += n;
            } else {
                out += "\\ufffd";
                ++i;
            }
            continue;
        }
        ++i;
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
            if (c < 0x20)
                out += fmt::format("\\u{:04x}", c);
            else
                out.push_back(static_cast<char>(c));
        }
    }
    out.push_back('"');
}

void JsonWriter::separate()
{
    if (_afterKey) {
        _afterKey = false;
        return;
    }
    if (!_first.empty()) {
        if (!_first.back())
            _out.push_back(',');
        _first.back() = false;
    }
}

JsonWriter& JsonWriter::beginObject()
{
    separate();
    _out.push_back('{');
    _first.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endObject()
{
    _out.push_back('}');
    _first.pop_back();
    return *this;
}

JsonWriter& JsonWriter::beginArray()
{
    separate();
    _out.push_back('[');
    _first.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endArray()
{
    _out.push_back(']');
    _first.pop_back();
    return *this;
}

JsonWriter& JsonWriter::key(std::string_view name)
{
    separate();
    appendJsonString(_out, name);
    _out.push_back(':');
    _afterKey = true;
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view text)
{
    separate();
    appendJsonString(_out, text);
    return *this;
}

JsonWriter& JsonWriter::value(double number)
{
    separate();
    if (!std::isfinite(number))
        _out += "null";
    else if (number == std::floor(number) && std::abs(number) < 1e15)
        _out += fmt::format("{}", static_cast<long long>(number));
    else
        _out += fmt::format("{}", number);
    return *this;
}

JsonWriter& JsonWriter::value(long long number)
{
    separate();
    _out += fmt::format("{}", number);
    return *this;
}

JsonWriter& JsonWriter::value(bool flag)
{
    separate();
    _out += flag ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::null()
{
    separate();
    _out += "null";
    return *this;
}

} // namespace vq
