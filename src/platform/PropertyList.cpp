#include "platform/PropertyList.h"

#include "platform/Log.h"

#include <glib.h>
#include <plist/plist.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string_view>
#include <vector>
#include <algorithm>

namespace vq {

namespace {

struct PlistFree {
    void operator()(void* node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

// Deep property lists are not something our servers or our own files hold;
// the limit keeps a hostile file from exhausting the stack. The library
// builds and frees its tree recursively, so the bytes are checked before it
// sees them.
constexpr int kMaxDepth = kMaxPropertyListDepth;

bool startsWith(std::string_view bytes, std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; }

// A raw NUL or a character reference to NUL ("&#0;", "&#x00;", ...).
bool hasNul(std::string_view text)
{
    if (text.find('\0') != std::string_view::npos)
        return true;
    for (auto at = text.find("&#"); at != std::string_view::npos; at = text.find("&#", at + 2)) {
        std::size_t i = at + 2;
        if (i < text.size() && (text[i] == 'x' || text[i] == 'X'))
            ++i;
        std::size_t digits = i;
        while (i < text.size() && text[i] == '0')
            ++i;
        if (i > digits && i < text.size() && text[i] == ';')
            return true;
    }
    return false;
}

// XML: element nesting, with comments, processing instructions, CDATA and
// the document type skipped. The plist element and a leaf value add two
// levels to the containers' depth. A key holding a NUL is refused as well:
// the library asserts on handing it out.
bool xmlWithinDepth(std::string_view xml)
{
    int depth = 0;
    std::size_t i = 0;
    auto skipPast = [&](std::string_view end) {
        auto at = xml.find(end, i);
        i = at == std::string_view::npos ? xml.size() : at + end.size();
    };
    while ((i = xml.find('<', i)) != std::string_view::npos) {
        auto rest = xml.substr(i);
        if (startsWith(rest, "<!--")) {
            skipPast("-->");
        } else if (startsWith(rest, "<![CDATA[")) {
            skipPast("]]>");
        } else if (startsWith(rest, "<?")) {
            skipPast("?>");
        } else if (startsWith(rest, "<!")) {
            auto close = xml.find('>', i);
            auto bracket = xml.find('[', i);
            if (bracket != std::string_view::npos && bracket < close)
                skipPast("]>");
            else
                skipPast(">");
        } else if (startsWith(rest, "</")) {
            --depth;
            skipPast(">");
        } else {
            // An opening tag; quoted attribute values may hold '>'.
            char quote = 0;
            std::size_t j = i + 1;
            for (; j < xml.size(); ++j) {
                char c = xml[j];
                if (quote) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
            }
            bool selfClosing = j < xml.size() && j > i + 1 && xml[j - 1] == '/';
            if (!selfClosing && startsWith(rest, "<key")) {
                auto close = xml.find("</key", j);
                auto text = xml.substr(std::min(j + 1, xml.size()),
                                       close == std::string_view::npos ? std::string_view::npos : close - j - 1);
                if (hasNul(text))
                    return false;
            }
            if (!selfClosing && ++depth > kMaxDepth + 2)
                return false;
            i = j + 1;
        }
    }
    return true;
}

std::uint64_t bigEndian(const unsigned char* p, std::size_t n)
{
    std::uint64_t v = 0;
    for (std::size_t k = 0; k < n; ++k)
        v = (v << 8) | p[k];
    return v;
}

// Binary: objects refer to each other by number; the tree the library would
// build is as deep as the longest chain of references from the root. A
// malformed table or a cycle is refused here as the library refuses it.
bool binaryWithinDepth(std::string_view bytes)
{
    constexpr std::size_t kTrailer = 32;
    if (bytes.size() < 8 + kTrailer)
        return false;
    auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* trailer = data + bytes.size() - kTrailer;
    std::size_t offsetSize = trailer[6], refSize = trailer[7];
    std::uint64_t count = bigEndian(trailer + 8, 8), root = bigEndian(trailer + 16, 8),
                  table = bigEndian(trailer + 24, 8);
    std::size_t end = bytes.size() - kTrailer;
    if (offsetSize == 0 || offsetSize > 8 || refSize == 0 || refSize > 8 || count == 0 || root >= count ||
        table >= end || count > (end - table) / offsetSize)
        return false;

    auto offsetOf = [&](std::uint64_t object) { return bigEndian(data + table + object * offsetSize, offsetSize); };
    // An object's length: the marker's low nibble, or 0xF and an integer
    // object after it. Moves `next` past what it read.
    auto readLength = [&](std::uint64_t& n, std::uint64_t& next) -> bool {
        if (n != 0x0F)
            return true;
        if (next >= end || (data[next] >> 4) != 0x1)
            return false;
        std::size_t width = std::size_t{1} << (data[next] & 0x0F);
        if (width > 8 || next + 1 + width > end)
            return false;
        n = bigEndian(data + next + 1, width);
        next += 1 + width;
        return true;
    };
    // A container's references: where they start and how many.
    auto references = [&](std::uint64_t object, std::size_t& first, std::uint64_t& n) -> bool {
        std::uint64_t at = offsetOf(object);
        if (at >= end)
            return false;
        unsigned char marker = data[at];
        unsigned type = marker >> 4;
        n = 0;
        first = 0;
        if (type != 0xA && type != 0xC && type != 0xD)
            return true;
        n = marker & 0x0F;
        std::uint64_t next = at + 1;
        if (!readLength(n, next))
            return false;
        if (type == 0xD) {
            if (n > std::numeric_limits<std::uint64_t>::max() / 2)
                return false;
            n *= 2;
        }
        if (n > (end - next) / refSize)
            return false;
        first = static_cast<std::size_t>(next);
        return true;
    };

    // The library cannot hand out a key with a NUL in it (it asserts), so such
    // a list is refused: ASCII and UTF-8 keys by byte, UTF-16 ones by unit.
    auto keyHasNul = [&](std::uint64_t object) {
        std::uint64_t at = offsetOf(object);
        if (at >= end)
            return false; // not a string; the library refuses it
        unsigned type = data[at] >> 4;
        if (type != 0x5 && type != 0x6 && type != 0x7)
            return false;
        std::uint64_t n = data[at] & 0x0F;
        std::uint64_t next = at + 1;
        if (!readLength(n, next))
            return false;
        std::uint64_t unit = type == 0x6 ? 2 : 1;
        if (n > (end - next) / unit)
            return false;
        for (std::uint64_t k = 0; k < n; ++k) {
            const unsigned char* c = data + next + k * unit;
            if (c[0] == 0 && (unit == 1 || c[1] == 0))
                return true;
        }
        return false;
    };

    // Heights of finished objects; 0 is not yet known, -1 is on the path.
    std::vector<int> height(static_cast<std::size_t>(count), 0);
    struct Frame {
        std::uint64_t object;
        std::size_t first;
        std::uint64_t n;
        std::uint64_t next = 0;
        int best = 0;
    };
    std::vector<Frame> path;
    auto enter = [&](std::uint64_t object) -> bool {
        Frame frame{object, 0, 0};
        if (!references(object, frame.first, frame.n))
            return false;
        height[object] = -1;
        path.push_back(frame);
        return path.size() <= static_cast<std::size_t>(kMaxDepth) + 1;
    };
    if (!enter(root))
        return false;
    while (!path.empty()) {
        Frame& frame = path.back();
        if (frame.next == frame.n) {
            int h = frame.best + 1;
            height[frame.object] = h;
            path.pop_back();
            if (!path.empty())
                path.back().best = std::max(path.back().best, h);
            continue;
        }
        std::uint64_t child = bigEndian(data + frame.first + frame.next * refSize, refSize);
        bool isKey = (data[offsetOf(frame.object)] >> 4) == 0xD && frame.next < frame.n / 2;
        ++frame.next;
        if (child >= count || height[child] < 0)
            return false;
        if (isKey && keyHasNul(child))
            return false;
        if (height[child] > 0) {
            if (path.size() + static_cast<std::size_t>(height[child]) > static_cast<std::size_t>(kMaxDepth) + 1)
                return false;
            frame.best = std::max(frame.best, height[child]);
            continue;
        }
        if (!enter(child))
            return false;
    }
    return true;
}

bool withinDepth(std::string_view bytes)
{
    if (startsWith(bytes, "bplist"))
        return binaryWithinDepth(bytes);
    return xmlWithinDepth(bytes);
}

// Text must be UTF-8: bytes that are not would be written out as they came
// and read back cut short. NUL bytes are let through (a value may hold them;
// glib's check would not).
bool isUtf8(std::string_view text)
{
    while (true) {
        auto nul = text.find('\0');
        auto piece = text.substr(0, nul);
        if (!g_utf8_validate_len(piece.data(), static_cast<gsize>(piece.size()), nullptr))
            return false;
        if (nul == std::string_view::npos)
            return true;
        text.remove_prefix(nul + 1);
    }
}

std::optional<PlistValue> fromNode(plist_t node, int depth)
{
    if (!node || depth > kMaxDepth)
        return std::nullopt;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        std::uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return PlistValue(b != 0);
    }
    case PLIST_UINT: {
        std::uint64_t u = 0;
        plist_get_uint_val(node, &u);
        return PlistValue(static_cast<std::int64_t>(u));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return PlistValue(d);
    }
    case PLIST_STRING: {
        // By pointer and length: the copying getter asserts on a string with
        // an embedded NUL, which a server's reply may well hold.
        std::uint64_t length = 0;
        const char* s = plist_get_string_ptr(node, &length);
        std::string text(s ? s : "", s ? length : 0);
        if (!isUtf8(text))
            return std::nullopt;
        return PlistValue(std::move(text));
    }
    case PLIST_KEY: {
        char* s = nullptr;
        plist_get_key_val(node, &s);
        std::string text(s ? s : "");
        std::free(s);
        if (!isUtf8(text))
            return std::nullopt;
        return PlistValue(std::move(text));
    }
    case PLIST_DATA: {
        char* bytes = nullptr;
        std::uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        auto* p = reinterpret_cast<const std::uint8_t*>(bytes);
        PlistValue v(PlistValue::Data(p, p + (bytes ? length : 0)));
        std::free(bytes);
        return v;
    }
    case PLIST_DATE: {
        std::int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return PlistValue(PlistValue::Date{sec + usec / 1e6});
    }
    case PLIST_UID: {
        std::uint64_t u = 0;
        plist_get_uid_val(node, &u);
        return PlistValue(static_cast<std::int64_t>(u));
    }
    case PLIST_ARRAY: {
        PlistValue::Array items;
        std::uint32_t n = plist_array_get_size(node);
        items.reserve(n);
        // The parsed tree is ours to take apart. Fetching item i walks the
        // child list from its head (quadratic over a long array), so each
        // item is taken from the front and then removed.
        for (std::uint32_t i = 0; i < n; ++i) {
            auto item = fromNode(plist_array_get_item(node, 0), depth + 1);
            if (!item)
                return std::nullopt;
            items.push_back(std::move(*item));
            plist_array_remove_item(node, 0);
        }
        return PlistValue(std::move(items));
    }
    case PLIST_DICT: {
        PlistValue::Dictionary dict;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        while (it) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (!key) {
                break;
            }
            std::string k = key;
            std::free(key);
            if (!isUtf8(k)) {
                std::free(it);
                return std::nullopt;
            }
            auto v = fromNode(value, depth + 1);
            if (!v) {
                std::free(it);
                return std::nullopt;
            }
            dict.insert_or_assign(std::move(k), std::move(*v));
        }
        std::free(it);
        return PlistValue(std::move(dict));
    }
    case PLIST_NONE:
    default:
        return std::nullopt;
    }
}

// The library keeps whole seconds in 32 bits and reads dates back that way:
// a date beyond them is written as the nearest one it can hold, a NaN one as
// the epoch.
std::pair<std::int32_t, std::int32_t> dateParts(PlistValue::Date date)
{
    constexpr double lo = std::numeric_limits<std::int32_t>::min(), hi = std::numeric_limits<std::int32_t>::max();
    double s = date.seconds;
    if (std::isnan(s))
        s = 0;
    s = std::clamp(s, lo, hi);
    double whole = std::floor(s);
    auto micro = static_cast<std::int32_t>(std::lround((s - whole) * 1e6));
    if (micro == 1000000 && whole < hi) {
        whole += 1;
        micro = 0;
    }
    return {static_cast<std::int32_t>(whole), std::min(micro, 999999)};
}

// Why the value cannot be written so that it reads back the same.
std::optional<std::string> writeError(const PlistValue& value, PlistFormat format)
{
    if (auto* s = value.string()) {
        if (!isUtf8(*s))
            return std::string("a string is not UTF-8");
        if (format == PlistFormat::Xml && s->find('\0') != std::string::npos)
            return std::string("a string holds a NUL character, which XML cannot carry");
    } else if (auto* a = value.array()) {
        for (const auto& item : *a)
            if (auto why = writeError(item, format))
                return why;
    } else if (auto* d = value.dictionary()) {
        for (const auto& [key, item] : *d) {
            if (item.isNull())
                continue; // left out
            if (key.find('\0') != std::string::npos)
                return std::string("a key holds a NUL character");
            if (!isUtf8(key))
                return std::string("a key is not UTF-8");
            if (auto why = writeError(item, format))
                return why;
        }
    }
    return std::nullopt;
}

// The binary form, written here rather than by the library, whose writer
// cuts a string at its first NUL. Objects are numbered depth first, the root
// being 0; nothing is shared between them.
class BinaryWriter {
public:
    std::string write(const PlistValue& root)
    {
        std::size_t count = countObjects(root);
        _refSize = count < 0x100 ? 1 : count < 0x10000 ? 2 : 4;
        _offsets.reserve(count);
        _out = "bplist00";
        _next = 0;
        writeObject(root);
        std::uint64_t tableAt = _out.size();
        int offsetSize = sizeFor(tableAt);
        for (auto offset : _offsets)
            appendBigEndian(offset, offsetSize);
        _out.append(6, '\0');
        _out += static_cast<char>(offsetSize);
        _out += static_cast<char>(_refSize);
        appendBigEndian(_offsets.size(), 8);
        appendBigEndian(0, 8); // the root
        appendBigEndian(tableAt, 8);
        return std::move(_out);
    }

private:
    static int sizeFor(std::uint64_t v) { return v < 0x100 ? 1 : v < 0x10000 ? 2 : v < 0x100000000 ? 4 : 8; }

    static std::size_t countObjects(const PlistValue& v)
    {
        std::size_t n = 1;
        if (auto* a = v.array()) {
            for (const auto& item : *a)
                if (!item.isNull())
                    n += countObjects(item);
        } else if (auto* d = v.dictionary()) {
            for (const auto& [key, item] : *d)
                if (!item.isNull())
                    n += 1 + countObjects(item);
        }
        return n;
    }

    void appendBigEndian(std::uint64_t v, int bytes)
    {
        for (int i = bytes - 1; i >= 0; --i)
            _out += static_cast<char>((v >> (8 * i)) & 0xff);
    }
    // A marker with its count: in the low nibble, or after it as an integer object.
    void appendMarker(std::uint8_t high, std::uint64_t count)
    {
        if (count < 15) {
            _out += static_cast<char>(high | count);
            return;
        }
        _out += static_cast<char>(high | 0x0f);
        appendInteger(count);
    }
    void appendInteger(std::uint64_t pattern)
    {
        // Negative numbers only fit the 8-byte form, which is read as signed.
        int size = pattern >> 63 ? 8 : sizeFor(pattern);
        _out += static_cast<char>(0x10 | std::countr_zero(static_cast<unsigned>(size)));
        appendBigEndian(pattern, size);
    }
    void appendDouble(std::uint8_t marker, double d)
    {
        _out += static_cast<char>(marker);
        appendBigEndian(std::bit_cast<std::uint64_t>(d), 8);
    }
    void appendString(const std::string& s)
    {
        // The library reads an ASCII string only up to a NUL, a UTF-16 one whole.
        if (std::all_of(s.begin(), s.end(), [](char c) { return c != '\0' && static_cast<unsigned char>(c) < 0x80; })) {
            appendMarker(0x50, s.size());
            _out += s;
            return;
        }
        // UTF-16, converted piece by piece around the NULs the converter stops at.
        std::vector<std::uint16_t> units;
        std::string_view rest = s;
        while (true) {
            auto nul = rest.find('\0');
            auto piece = rest.substr(0, nul);
            glong n = 0;
            gunichar2* utf16 = g_utf8_to_utf16(piece.data(), static_cast<glong>(piece.size()), nullptr, &n, nullptr);
            // Checked before writing; a string that still fails is written empty rather than cut.
            if (!utf16)
                return appendMarker(0x50, 0);
            units.insert(units.end(), utf16, utf16 + n);
            g_free(utf16);
            if (nul == std::string_view::npos)
                break;
            units.push_back(0);
            rest.remove_prefix(nul + 1);
        }
        appendMarker(0x60, units.size());
        for (auto u : units)
            appendBigEndian(u, 2);
    }

    // Writes the object and those it holds; returns its number.
    std::uint64_t writeObject(const PlistValue& v)
    {
        std::uint64_t number = _next++;
        _offsets.push_back(_out.size());
        switch (v.type()) {
        case PlistValue::Type::Boolean:
            _out += static_cast<char>(*v.boolValue() ? 0x09 : 0x08);
            break;
        case PlistValue::Type::Integer:
            appendInteger(static_cast<std::uint64_t>(*v.integerValue()));
            break;
        case PlistValue::Type::Real:
            appendDouble(0x23, *v.doubleValue());
            break;
        case PlistValue::Type::Date: {
            auto [whole, micro] = dateParts(*v.date());
            appendDouble(0x33, whole + micro / 1e6);
            break;
        }
        case PlistValue::Type::String:
            appendString(*v.string());
            break;
        case PlistValue::Type::Data:
            appendMarker(0x40, v.data()->size());
            _out.append(reinterpret_cast<const char*>(v.data()->data()), v.data()->size());
            break;
        case PlistValue::Type::Array: {
            std::vector<const PlistValue*> items;
            for (const auto& item : *v.array())
                if (!item.isNull())
                    items.push_back(&item);
            appendMarker(0xa0, items.size());
            writeChildren(items);
            break;
        }
        case PlistValue::Type::Dictionary:
        case PlistValue::Type::Null: {
            // Null only as the root, which is written as an empty dictionary.
            std::vector<PlistValue> keys;
            std::vector<const PlistValue*> items;
            if (auto* d = v.dictionary())
                for (const auto& [key, item] : *d)
                    if (!item.isNull()) {
                        keys.emplace_back(key);
                        items.push_back(&item);
                    }
            appendMarker(0xd0, items.size());
            std::vector<const PlistValue*> all;
            for (const auto& key : keys)
                all.push_back(&key);
            all.insert(all.end(), items.begin(), items.end());
            writeChildren(all);
            break;
        }
        }
        return number;
    }

    // The references go right after the marker; the children after them.
    void writeChildren(const std::vector<const PlistValue*>& children)
    {
        std::size_t refsAt = _out.size();
        _out.append(children.size() * static_cast<std::size_t>(_refSize), '\0');
        for (std::size_t i = 0; i < children.size(); ++i) {
            std::uint64_t number = writeObject(*children[i]);
            for (int b = 0; b < _refSize; ++b)
                _out[refsAt + i * _refSize + b] = static_cast<char>((number >> (8 * (_refSize - 1 - b))) & 0xff);
        }
    }

    std::string _out;
    std::vector<std::uint64_t> _offsets;
    std::uint64_t _next = 0;
    int _refSize = 1;
};

plist_t toNode(const PlistValue& value)
{
    switch (value.type()) {
    case PlistValue::Type::Boolean:
        return plist_new_bool(*value.boolValue() ? 1 : 0);
    case PlistValue::Type::Integer:
        // libplist keeps integers as 64-bit patterns and writes them signed.
        return plist_new_uint(static_cast<std::uint64_t>(*value.integerValue()));
    case PlistValue::Type::Real:
        return plist_new_real(*value.doubleValue());
    case PlistValue::Type::String:
        return plist_new_string(value.string()->c_str());
    case PlistValue::Type::Data: {
        const auto& d = *value.data();
        return plist_new_data(reinterpret_cast<const char*>(d.data()), d.size());
    }
    case PlistValue::Type::Date: {
        auto [whole, micro] = dateParts(*value.date());
        return plist_new_date(whole, micro);
    }
    case PlistValue::Type::Array: {
        plist_t node = plist_new_array();
        for (const auto& item : *value.array())
            if (!item.isNull())
                plist_array_append_item(node, toNode(item));
        return node;
    }
    case PlistValue::Type::Dictionary: {
        plist_t node = plist_new_dict();
        for (const auto& [key, item] : *value.dictionary())
            if (!item.isNull())
                plist_dict_set_item(node, key.c_str(), toNode(item));
        return node;
    }
    case PlistValue::Type::Null:
        break;
    }
    return plist_new_dict();
}

} // namespace

std::optional<PlistValue::Date> PlistValue::date() const
{
    if (auto* d = std::get_if<Date>(&_value))
        return *d;
    return std::nullopt;
}

std::optional<double> PlistValue::doubleValue() const
{
    if (auto* b = std::get_if<bool>(&_value))
        return *b ? 1.0 : 0.0;
    if (auto* i = std::get_if<std::int64_t>(&_value))
        return static_cast<double>(*i);
    if (auto* d = std::get_if<double>(&_value))
        return *d;
    return std::nullopt;
}

std::optional<std::int64_t> PlistValue::integerValue() const
{
    if (auto* b = std::get_if<bool>(&_value))
        return *b ? 1 : 0;
    if (auto* i = std::get_if<std::int64_t>(&_value))
        return *i;
    if (auto* d = std::get_if<double>(&_value)) {
        if (!std::isfinite(*d))
            return std::nullopt;
        // Clamp rather than overflow on absurd reals.
        constexpr double lo = static_cast<double>(std::numeric_limits<std::int64_t>::min());
        constexpr double hi = static_cast<double>(std::numeric_limits<std::int64_t>::max());
        if (*d <= lo)
            return std::numeric_limits<std::int64_t>::min();
        if (*d >= hi)
            return std::numeric_limits<std::int64_t>::max();
        return static_cast<std::int64_t>(*d);
    }
    return std::nullopt;
}

std::optional<bool> PlistValue::boolValue() const
{
    if (auto* b = std::get_if<bool>(&_value))
        return *b;
    if (auto d = doubleValue())
        return *d != 0;
    return std::nullopt;
}

const PlistValue* PlistValue::find(const std::string& key) const
{
    auto* dict = dictionary();
    if (!dict)
        return nullptr;
    auto it = dict->find(key);
    return it == dict->end() ? nullptr : &it->second;
}

std::optional<PlistValue> parsePropertyList(std::string_view bytes)
{
    if (bytes.empty() || bytes.size() > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    if (!withinDepth(bytes))
        return std::nullopt;
    // An XML document that is not UTF-8 is not well-formed; the library would cut its text short.
    if (!startsWith(bytes, "bplist") && !isUtf8(bytes))
        return std::nullopt;
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
    PlistPtr owner(root);
    return fromNode(root, 0);
}

std::optional<std::string> propertyListWriteError(const PlistValue& value, PlistFormat format)
{
    return writeError(value, format);
}

std::string writePropertyList(const PlistValue& value, PlistFormat format)
{
    if (value.isNull())
        return {};
    if (auto why = propertyListWriteError(value, format)) {
        log("property list not written: {}", *why);
        return {};
    }
    if (format == PlistFormat::Binary)
        return BinaryWriter().write(value);
    PlistPtr root(toNode(value));
    char* out = nullptr;
    std::uint32_t length = 0;
    std::string result;
    plist_to_xml(root.get(), &out, &length);
    if (out)
        result.assign(out, length);
    plist_to_xml_free(out);
    return result;
}

} // namespace vq
