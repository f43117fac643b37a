#include "core/PropertyList.h"

#include "core/Log.h"
#include "core/PropertyListForms.h"

#include <glib.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace vq {

namespace {

// Characters XML 1.0 has no way to write, even as a reference: the controls
// but tab, line feed and carriage return, and U+FFFE and U+FFFF.
bool holdsCharacterXmlCannotCarry(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return true;
        // U+FFFE and U+FFFF are EF BF BE and EF BF BF.
        if (c == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
            (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE)
            return true;
    }
    return false;
}

// Why the value cannot be written so that it reads back the same.
std::optional<std::string> writeError(const PlistValue& value, PlistFormat format)
{
    if (auto* s = value.string()) {
        if (!isUtf8Text(*s))
            return std::string("a string is not UTF-8");
        if (format == PlistFormat::Xml && s->find('\0') != std::string::npos)
            return std::string("a string holds a NUL character, which XML cannot carry");
        if (format == PlistFormat::Xml && holdsCharacterXmlCannotCarry(*s))
            return std::string("a string holds a control character, which XML cannot carry");
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
            if (!isUtf8Text(key))
                return std::string("a key is not UTF-8");
            if (format == PlistFormat::Xml && holdsCharacterXmlCannotCarry(key))
                return std::string("a key holds a control character, which XML cannot carry");
            if (auto why = writeError(item, format))
                return why;
        }
    }
    return std::nullopt;
}

} // namespace

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


// NUL bytes are let through (a value may hold them; glib's check would not).
bool isUtf8Text(std::string_view text)
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

PlistValue::Dictionary dictionaryFromPairs(PlistValue::Dictionary::sequence_type pairs)
{
    // Stable, so equal keys stay in the order they came and the last can be kept.
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](const auto& a, const auto& b) { return PlistValue::KeyOrder{}(a.first, b.first); });
    std::size_t kept = 0;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        if (kept > 0 && pairs[kept - 1].first == pairs[i].first)
            pairs[kept - 1].second = std::move(pairs[i].second);
        else if (kept++ != i)
            pairs[kept - 1] = std::move(pairs[i]);
    }
    pairs.erase(pairs.begin() + static_cast<std::ptrdiff_t>(kept), pairs.end());
    PlistValue::Dictionary dict;
    dict.adopt_sequence(boost::container::ordered_unique_range, std::move(pairs));
    return dict;
}

const PlistValue* PlistValue::find(const std::string& key) const
{
    auto* dict = dictionary();
    if (!dict)
        return nullptr;
    auto it = dict->find(key);
    return it == dict->end() ? nullptr : &it->second;
}

std::optional<PlistValue> parsePropertyList(std::string_view bytes, std::size_t expandedBudget)
{
    if (bytes.empty())
        return std::nullopt;
    if (bytes.starts_with("bplist"))
        return readBinaryPropertyList(bytes, expandedBudget);
    return readXmlPropertyList(bytes);
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
    return format == PlistFormat::Binary ? writeBinaryPropertyList(value) : writeXmlPropertyList(value);
}

} // namespace vq
