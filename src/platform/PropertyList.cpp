#include "platform/PropertyList.h"

#include <plist/plist.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>

namespace vq {

namespace {

struct PlistFree {
    void operator()(void* node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

// Deep property lists are not something our servers send; the limit keeps a
// hostile reply from exhausting the stack.
constexpr int kMaxDepth = 256;

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
        return PlistValue(std::string(s ? s : "", s ? length : 0));
    }
    case PLIST_KEY: {
        char* s = nullptr;
        plist_get_key_val(node, &s);
        PlistValue v(std::string(s ? s : ""));
        std::free(s);
        return v;
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
        double s = value.date()->seconds;
        double whole = std::floor(s);
        return plist_new_date(static_cast<std::int32_t>(whole), static_cast<std::int32_t>(std::lround((s - whole) * 1e6)));
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
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
    PlistPtr owner(root);
    return fromNode(root, 0);
}

std::string writePropertyList(const PlistValue& value, PlistFormat format)
{
    if (value.isNull())
        return {};
    PlistPtr root(toNode(value));
    char* out = nullptr;
    std::uint32_t length = 0;
    std::string result;
    if (format == PlistFormat::Binary) {
        plist_to_bin(root.get(), &out, &length);
        if (out)
            result.assign(out, length);
        plist_to_bin_free(out);
    } else {
        plist_to_xml(root.get(), &out, &length);
        if (out)
            result.assign(out, length);
        plist_to_xml_free(out);
    }
    return result;
}

} // namespace vq
