#include "platform/Json.h"

#include <fmt/format.h>

#include <cmath>

namespace vq {

void appendJsonString(std::string& out, std::string_view text)
{
    out.push_back('"');
    for (unsigned char c : text) {
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
