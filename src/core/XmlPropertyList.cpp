#include "core/PropertyListForms.h"

#include "core/StringAdditions.h"

#include <expat.h>
#include <fmt/format.h>
#include <glib.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>
#include <vector>

namespace vq {

namespace {

// Property lists count dates from 2001-01-01, 978307200 s after the Unix epoch.
constexpr double kPlistEpoch = 978307200.0;

std::string_view trimmed(std::string_view s)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::optional<double> realFromText(std::string_view text)
{
    text = trimmed(text);
    std::string lower;
    for (char c : text)
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower == "nan")
        return std::numeric_limits<double>::quiet_NaN();
    if (lower == "inf" || lower == "+inf" || lower == "infinity" || lower == "+infinity")
        return std::numeric_limits<double>::infinity();
    if (lower == "-inf" || lower == "-infinity")
        return -std::numeric_limits<double>::infinity();
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double d = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), d);
    if (ec == std::errc::result_out_of_range && end == text.data() + text.size()) {
        // Too large or too small to hold: infinity or zero, as strtod gives it.
        auto e = text.find_first_of("eE");
        bool tiny = e != std::string_view::npos && e + 1 < text.size() && text[e + 1] == '-';
        bool negative = text.front() == '-';
        double magnitude = tiny ? 0.0 : std::numeric_limits<double>::infinity();
        return negative ? -magnitude : magnitude;
    }
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return d;
}

// "YYYY-MM-DDTHH:MM:SSZ", as the files write it.
std::optional<PlistValue::Date> dateFromText(std::string_view text)
{
    text = trimmed(text);
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    auto number = [&](std::size_t at, std::size_t width, int& out) {
        if (at + width > text.size())
            return false;
        auto [end, ec] = std::from_chars(text.data() + at, text.data() + at + width, out);
        return ec == std::errc() && end == text.data() + at + width;
    };
    bool negative = !text.empty() && text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != 'Z' || !number(0, 4, year) || !number(5, 2, month) || !number(8, 2, day) ||
        !number(11, 2, hour) || !number(14, 2, minute) || !number(17, 2, second))
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = (negative ? -year : year) - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return PlistValue::Date{static_cast<double>(timegm(&tm)) - kPlistEpoch};
}

PlistValue::Data dataFromText(std::string_view text)
{
    // Base64 broken over lines and indented; anything else is skipped, as readers do.
    std::string clean;
    clean.reserve(text.size());
    for (char c : text)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' ||
            c == '=')
            clean += c;
    PlistValue::Data out(clean.size() / 4 * 3 + 3);
    gint state = 0;
    guint save = 0;
    gsize n = g_base64_decode_step(clean.data(), clean.size(), out.data(), &state, &save);
    out.resize(n);
    return out;
}

// Builds the value from expat's events. Any element or text out of place
// stops the parser: a half-understood list is no list.
class XmlReader {
public:
    std::optional<PlistValue> read(std::string_view bytes)
    {
        std::unique_ptr<std::remove_pointer_t<XML_Parser>, decltype(&XML_ParserFree)> parser(
            XML_ParserCreate("UTF-8"), &XML_ParserFree);
        if (!parser)
            return std::nullopt;
        _parser = parser.get();
        XML_SetUserData(_parser, this);
        XML_SetElementHandler(_parser, &XmlReader::onStart, &XmlReader::onEnd);
        XML_SetCharacterDataHandler(_parser, &XmlReader::onText);
        // Entities could multiply a small document into a huge one; lists need none.
        XML_SetEntityDeclHandler(_parser, &XmlReader::onEntity);
        if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
            return std::nullopt;
        if (XML_Parse(_parser, bytes.data(), static_cast<int>(bytes.size()), XML_TRUE) != XML_STATUS_OK || _failed ||
            !_root)
            return std::nullopt;
        return std::move(_root);
    }

private:
    enum class Kind { Plist, Array, Dict, Key, String, Integer, Real, Date, Data, True, False };
    struct Frame {
        Kind kind;
        PlistValue value; // an array being filled
        std::optional<std::string> key; // a dictionary's key waiting for its value
        PlistValue::Dictionary::sequence_type pairs; // a dictionary's, sorted when it closes
    };

    static std::optional<Kind> kindOf(const char* name)
    {
        static const std::pair<const char*, Kind> kinds[] = {
            {"plist", Kind::Plist}, {"array", Kind::Array},     {"dict", Kind::Dict},       {"key", Kind::Key},
            {"string", Kind::String}, {"integer", Kind::Integer}, {"real", Kind::Real},     {"date", Kind::Date},
            {"data", Kind::Data},   {"true", Kind::True},       {"false", Kind::False}};
        for (const auto& [text, kind] : kinds)
            if (std::strcmp(name, text) == 0)
                return kind;
        return std::nullopt;
    }

    void fail()
    {
        _failed = true;
        XML_StopParser(_parser, XML_FALSE);
    }

    static void onEntity(void* self, const XML_Char*, int, const XML_Char*, int, const XML_Char*, const XML_Char*,
                         const XML_Char*, const XML_Char*)
    {
        static_cast<XmlReader*>(self)->fail();
    }

    static void onStart(void* self, const XML_Char* name, const XML_Char**)
    {
        static_cast<XmlReader*>(self)->start(name);
    }
    static void onEnd(void* self, const XML_Char*) { static_cast<XmlReader*>(self)->end(); }
    static void onText(void* self, const XML_Char* text, int length)
    {
        auto* reader = static_cast<XmlReader*>(self);
        if (reader->_inLeaf)
            reader->_text.append(text, static_cast<std::size_t>(length));
    }

    void start(const char* name)
    {
        auto kind = kindOf(name);
        // Only containers hold elements, one value in all; the plist element only at the top.
        if (!kind || _inLeaf || _root || (*kind == Kind::Plist && !_frames.empty())) {
            fail();
            return;
        }
        if (*kind == Kind::Array || *kind == Kind::Dict) {
            if (++_depth > kMaxPropertyListDepth) {
                fail();
                return;
            }
            _frames.push_back({*kind, *kind == Kind::Array ? PlistValue(PlistValue::Array{}) : PlistValue(), {}, {}});
            return;
        }
        if (*kind == Kind::Plist) {
            _frames.push_back({Kind::Plist, PlistValue(), {}, {}});
            return;
        }
        _leaf = *kind;
        _inLeaf = true;
        _text.clear();
    }

    void end()
    {
        if (_inLeaf) {
            _inLeaf = false;
            if (_leaf == Kind::Key) {
                if (_frames.empty() || _frames.back().kind != Kind::Dict || _frames.back().key)
                    return fail();
                _frames.back().key = std::move(_text);
                return;
            }
            auto value = leafValue();
            if (!value)
                return fail();
            return place(std::move(*value));
        }
        if (_frames.empty())
            return fail();
        Frame frame = std::move(_frames.back());
        _frames.pop_back();
        if (frame.kind == Kind::Plist)
            return; // its one value is already the root
        --_depth;
        if (frame.key)
            return fail(); // a key without its value
        if (frame.kind == Kind::Dict)
            frame.value = PlistValue(dictionaryFromPairs(std::move(frame.pairs)));
        place(std::move(frame.value));
    }

    std::optional<PlistValue> leafValue()
    {
        switch (_leaf) {
        case Kind::String:
            return PlistValue(std::move(_text));
        case Kind::Integer:
            return PlistValue(leadingInteger(trimmed(_text)));
        case Kind::Real:
            if (auto d = realFromText(_text))
                return PlistValue(*d);
            return std::nullopt;
        case Kind::Date:
            if (auto d = dateFromText(_text))
                return PlistValue(*d);
            return std::nullopt;
        case Kind::Data:
            return PlistValue(dataFromText(_text));
        case Kind::True:
            return PlistValue(true);
        case Kind::False:
            return PlistValue(false);
        default:
            return std::nullopt;
        }
    }

    void place(PlistValue value)
    {
        if (_frames.empty() || _frames.back().kind == Kind::Plist) {
            if (_root)
                return fail(); // one value per document
            _root = std::move(value);
            return;
        }
        Frame& parent = _frames.back();
        if (parent.kind == Kind::Array) {
            parent.value.array()->push_back(std::move(value));
            return;
        }
        if (!parent.key)
            return fail(); // a value without its key
        parent.pairs.emplace_back(std::move(*parent.key), std::move(value));
        parent.key.reset();
    }

    XML_Parser _parser = nullptr;
    std::vector<Frame> _frames;
    int _depth = 0;
    bool _inLeaf = false;
    Kind _leaf = Kind::String;
    std::string _text;
    std::optional<PlistValue> _root;
    bool _failed = false;
};

void writeInto(std::string& out, const PlistValue& value, int depth)
{
    const std::string indent(static_cast<std::size_t>(depth), '\t');
    switch (value.type()) {
    case PlistValue::Type::Boolean:
        out += indent + (*value.boolValue() ? "<true/>\n" : "<false/>\n");
        return;
    case PlistValue::Type::Integer:
        out += fmt::format("{}<integer>{}</integer>\n", indent, *value.integerValue());
        return;
    case PlistValue::Type::Real: {
        double d = *value.doubleValue();
        std::string text = std::isnan(d) ? "nan" : std::isinf(d) ? (d > 0 ? "+infinity" : "-infinity") : fmt::format("{}", d);
        out += fmt::format("{}<real>{}</real>\n", indent, text);
        return;
    }
    case PlistValue::Type::String:
        out += indent + "<string>";
        appendXmlEscaped(out, *value.string());
        out += "</string>\n";
        return;
    case PlistValue::Type::Data: {
        const auto& data = *value.data();
        gchar* text = g_base64_encode(data.data(), data.size());
        out += fmt::format("{}<data>{}</data>\n", indent, text ? text : "");
        g_free(text);
        return;
    }
    case PlistValue::Type::Date: {
        auto seconds = static_cast<std::time_t>(dateParts(*value.date()).first + kPlistEpoch);
        std::tm tm{};
        gmtime_r(&seconds, &tm);
        out += fmt::format("{}<date>{:04}-{:02}-{:02}T{:02}:{:02}:{:02}Z</date>\n", indent, tm.tm_year + 1900,
                           tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
        return;
    }
    case PlistValue::Type::Array: {
        bool any = false;
        for (const auto& item : *value.array())
            any = any || !item.isNull();
        if (!any) {
            out += indent + "<array/>\n";
            return;
        }
        out += indent + "<array>\n";
        for (const auto& item : *value.array())
            if (!item.isNull())
                writeInto(out, item, depth + 1);
        out += indent + "</array>\n";
        return;
    }
    case PlistValue::Type::Dictionary:
    case PlistValue::Type::Null: {
        // Null only as the root, which is written as an empty dictionary.
        const auto* dict = value.dictionary();
        bool any = false;
        if (dict)
            for (const auto& [key, item] : *dict)
                any = any || !item.isNull();
        if (!any) {
            out += indent + "<dict/>\n";
            return;
        }
        out += indent + "<dict>\n";
        for (const auto& [key, item] : *dict) {
            if (item.isNull())
                continue;
            out += indent + "\t<key>";
            appendXmlEscaped(out, key);
            out += "</key>\n";
            writeInto(out, item, depth + 1);
        }
        out += indent + "</dict>\n";
        return;
    }
    }
}

} // namespace

std::optional<PlistValue> readXmlPropertyList(std::string_view bytes)
{
    // Text that is not UTF-8 would be cut short or re-encoded; a list is UTF-8.
    if (!isUtf8Text(bytes))
        return std::nullopt;
    return XmlReader().read(bytes);
}

std::string writeXmlPropertyList(const PlistValue& value)
{
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                      "<plist version=\"1.0\">\n";
    writeInto(out, value, 0);
    out += "</plist>\n";
    return out;
}

} // namespace vq
