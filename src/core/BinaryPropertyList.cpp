#include "core/Log.h"
#include "core/PropertyListForms.h"

#include <glib.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <vector>

namespace vq {

namespace {

constexpr std::size_t kTrailer = 32;
constexpr std::uint64_t kLeastObjectBytes = 16;

std::uint64_t bigEndian(const unsigned char* p, std::size_t n)
{
    std::uint64_t v = 0;
    for (std::size_t k = 0; k < n; ++k)
        v = (v << 8) | p[k];
    return v;
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Big-endian UTF-16 units as UTF-8; nothing for a lone surrogate.
std::optional<std::string> fromUtf16(const unsigned char* p, std::size_t units)
{
    std::string out;
    out.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
        char32_t u = static_cast<char32_t>(p[2 * i] << 8 | p[2 * i + 1]);
        if (u >= 0xD800 && u < 0xDC00) {
            if (i + 1 == units)
                return std::nullopt;
            char32_t low = static_cast<char32_t>(p[2 * i + 2] << 8 | p[2 * i + 3]);
            if (low < 0xDC00 || low >= 0xE000)
                return std::nullopt;
            u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        } else if (u >= 0xDC00 && u < 0xE000) {
            return std::nullopt;
        }
        appendUtf8(out, u);
    }
    return out;
}

class BinaryReader {
public:
    BinaryReader(std::string_view bytes, std::size_t budget)
        : _data(reinterpret_cast<const unsigned char*>(bytes.data())), _size(bytes.size()), _budget(budget)
    {
    }

    std::optional<PlistValue> read()
    {
        if (_size < 8 + kTrailer || std::memcmp(_data, "bplist0", 7) != 0)
            return std::nullopt;
        const unsigned char* trailer = _data + _size - kTrailer;
        _offsetSize = trailer[6];
        _refSize = trailer[7];
        _count = bigEndian(trailer + 8, 8);
        std::uint64_t root = bigEndian(trailer + 16, 8);
        _table = bigEndian(trailer + 24, 8);
        _end = _size - kTrailer;
        if (_offsetSize == 0 || _offsetSize > 8 || _refSize == 0 || _refSize > 8 || _count == 0 || root >= _count ||
            _table >= _end || _count > (_end - _table) / _offsetSize)
            return std::nullopt;
        _objects.assign(static_cast<std::size_t>(_count), Object{});
        // First the shape: every object checked once, cycles and depth found, and the
        // size the tree takes once shared objects are copied out; only then is it built.
        if (!measure(root, 0))
            return std::nullopt;
        if (_objects[root].expanded > _budget) {
            log("property list refused: its shared objects expand past {} bytes", _budget);
            return std::nullopt;
        }
        return build(root);
    }

private:
    enum class State : std::uint8_t { New, OnPath, Done };
    struct Object {
        State state = State::New;
        std::uint8_t type = 0;     // the marker's high nibble
        std::uint8_t info = 0;     // its low nibble
        std::size_t payload = 0;   // where the bytes (or references) start
        std::uint64_t length = 0;  // bytes, units or references
        std::uint64_t expanded = 0;
        int height = 0; // levels below it to its deepest object
    };

    // The object's marker and its length, read and checked against the file.
    bool decode(std::uint64_t number, Object& o) const
    {
        std::uint64_t at = bigEndian(_data + _table + number * _offsetSize, _offsetSize);
        if (at < 8 || at >= _end)
            return false;
        o.type = _data[at] >> 4;
        o.info = _data[at] & 0x0F;
        std::uint64_t next = at + 1;
        std::uint64_t n = o.info;
        auto counted = [&] {
            if (n != 0x0F)
                return true;
            if (next >= _end || (_data[next] >> 4) != 0x1)
                return false;
            std::size_t width = std::size_t{1} << (_data[next] & 0x0F);
            if (width > 8 || next + 1 + width > _end)
                return false;
            n = bigEndian(_data + next + 1, width);
            next += 1 + width;
            return true;
        };
        std::uint64_t unit = 1;
        switch (o.type) {
        case 0x0:
            if (o.info != 0x8 && o.info != 0x9)
                return false; // null and fill are not values we keep
            n = 0;
            break;
        case 0x1:
            if (o.info > 4)
                return false;
            n = std::uint64_t{1} << o.info;
            break;
        case 0x2:
            if (o.info != 2 && o.info != 3)
                return false;
            n = std::uint64_t{1} << o.info;
            break;
        case 0x3:
            if (o.info != 3)
                return false;
            n = 8;
            break;
        case 0x4: case 0x5: case 0x7:
            if (!counted())
                return false;
            break;
        case 0x6:
            if (!counted())
                return false;
            unit = 2;
            break;
        case 0x8:
            n = std::uint64_t{o.info} + 1;
            break;
        case 0xA: case 0xC:
            if (!counted())
                return false;
            unit = _refSize;
            break;
        case 0xD:
            if (!counted() || n > std::numeric_limits<std::uint64_t>::max() / 2)
                return false;
            unit = 2 * std::uint64_t{_refSize};
            break;
        default:
            return false;
        }
        if (n > (_end - next) / unit)
            return false;
        o.payload = static_cast<std::size_t>(next);
        o.length = n;
        return true;
    }

    std::uint64_t reference(const Object& o, std::uint64_t k) const
    {
        return bigEndian(_data + o.payload + k * _refSize, _refSize);
    }

    bool isKey(std::uint64_t number) const
    {
        const Object& key = _objects[number];
        if (key.type != 0x5 && key.type != 0x6 && key.type != 0x7)
            return false;
        // A key holding a NUL cannot be written back or looked up as text.
        std::size_t unit = key.type == 0x6 ? 2 : 1;
        for (std::uint64_t k = 0; k < key.length; ++k) {
            const unsigned char* c = _data + key.payload + k * unit;
            if (c[0] == 0 && (unit == 1 || c[1] == 0))
                return false;
        }
        return true;
    }

    static std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b)
    {
        return a > std::numeric_limits<std::uint64_t>::max() - b ? std::numeric_limits<std::uint64_t>::max() : a + b;
    }

    // Checks the object and those it refers to, once each, and notes how many
    // bytes it stands for with every reference followed.
    bool measure(std::uint64_t number, int depth)
    {
        Object& o = _objects[number];
        if (o.state == State::Done)
            return depth + o.height <= kMaxPropertyListDepth;
        if (o.state == State::OnPath || depth > kMaxPropertyListDepth)
            return false;
        if (!decode(number, o))
            return false;
        o.state = State::OnPath;
        bool container = o.type == 0xA || o.type == 0xC || o.type == 0xD;
        std::uint64_t unitBytes = o.type == 0x6 ? 2 : 1;
        // Held in memory, even a one-byte object takes a value's room: counted so,
        // a list of millions of tiny shared objects is no cheaper than it is to hold.
        std::uint64_t size = std::max<std::uint64_t>(kLeastObjectBytes, container ? 1 : 1 + o.length * unitBytes);
        int tallest = 0;
        if (container) {
            std::uint64_t refs = o.type == 0xD ? 2 * o.length : o.length;
            for (std::uint64_t k = 0; k < refs; ++k) {
                std::uint64_t child = reference(o, k);
                if (child >= _count || !measure(child, depth + 1))
                    return false;
                if (o.type == 0xD && k < o.length && !isKey(child))
                    return false;
                const Object& c = _objects[child];
                size = saturatingAdd(size, saturatingAdd(_refSize, c.expanded));
                tallest = std::max(tallest, c.height + 1);
                if (size > _budget) // no need to look further
                    break;
            }
        }
        o.expanded = size;
        o.height = tallest;
        o.state = State::Done;
        return true;
    }

    std::optional<std::string> text(const Object& o) const
    {
        const unsigned char* p = _data + o.payload;
        if (o.type == 0x6)
            return fromUtf16(p, static_cast<std::size_t>(o.length));
        std::string text(reinterpret_cast<const char*>(p), static_cast<std::size_t>(o.length));
        if (!isUtf8Text(text))
            return std::nullopt;
        return text;
    }

    std::optional<PlistValue> build(std::uint64_t number) const
    {
        const Object& o = _objects[number];
        const unsigned char* p = _data + o.payload;
        switch (o.type) {
        case 0x0:
            return PlistValue(o.info == 0x9);
        case 0x1: {
            if (o.length <= 4)
                return PlistValue(static_cast<std::int64_t>(bigEndian(p, o.length)));
            if (o.length == 8)
                return PlistValue(static_cast<std::int64_t>(bigEndian(p, 8)));
            // 128 bits, signed: beyond 64 bits it is the nearest value 64 bits hold.
            auto high = static_cast<std::int64_t>(bigEndian(p, 8));
            std::uint64_t low = bigEndian(p + 8, 8);
            if (high == 0 && low <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
                return PlistValue(static_cast<std::int64_t>(low));
            if (high == -1 && low >= std::uint64_t{1} << 63)
                return PlistValue(static_cast<std::int64_t>(low));
            return PlistValue(high < 0 ? std::numeric_limits<std::int64_t>::min()
                                       : std::numeric_limits<std::int64_t>::max());
        }
        case 0x2:
            if (o.length == 4)
                return PlistValue(static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(bigEndian(p, 4)))));
            return PlistValue(std::bit_cast<double>(bigEndian(p, 8)));
        case 0x3:
            return PlistValue(PlistValue::Date{std::bit_cast<double>(bigEndian(p, 8))});
        case 0x4:
            return PlistValue(PlistValue::Data(p, p + o.length));
        case 0x5:
        case 0x6:
        case 0x7: {
            auto string = text(o);
            if (!string)
                return std::nullopt;
            return PlistValue(std::move(*string));
        }
        case 0x8:
            return PlistValue(static_cast<std::int64_t>(bigEndian(p, o.length)));
        case 0xA:
        case 0xC: {
            PlistValue::Array items;
            items.reserve(static_cast<std::size_t>(o.length));
            for (std::uint64_t k = 0; k < o.length; ++k) {
                auto item = build(reference(o, k));
                if (!item)
                    return std::nullopt;
                items.push_back(std::move(*item));
            }
            return PlistValue(std::move(items));
        }
        case 0xD: {
            PlistValue::Dictionary::sequence_type pairs;
            pairs.reserve(static_cast<std::size_t>(o.length));
            for (std::uint64_t k = 0; k < o.length; ++k) {
                auto key = text(_objects[reference(o, k)]);
                auto value = build(reference(o, o.length + k));
                if (!key || !value)
                    return std::nullopt;
                pairs.emplace_back(std::move(*key), std::move(*value));
            }
            return PlistValue(dictionaryFromPairs(std::move(pairs)));
        }
        default:
            return std::nullopt;
        }
    }

    const unsigned char* _data;
    std::size_t _size;
    std::size_t _budget;
    std::size_t _offsetSize = 0;
    std::size_t _refSize = 0;
    std::uint64_t _count = 0;
    std::uint64_t _table = 0;
    std::uint64_t _end = 0;
    std::vector<Object> _objects;
};

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
        // Other readers take an ASCII string only up to a NUL, a UTF-16 one whole.
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

} // namespace

std::optional<PlistValue> readBinaryPropertyList(std::string_view bytes, std::size_t expandedBudget)
{
    return BinaryReader(bytes, expandedBudget).read();
}

std::string writeBinaryPropertyList(const PlistValue& value) { return BinaryWriter().write(value); }

} // namespace vq
