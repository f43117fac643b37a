#include "core/PropertyListValues.h"

#include "core/PropertyListForms.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>

namespace vq {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Applies one key to a value: a dictionary's entry, or for an array the
// array of every element's entry.
PlistValue valueForKey(const PlistValue& value, std::string_view key)
{
    if (const auto* dict = value.dictionary()) {
        auto it = dict->find(key);
        return it == dict->end() ? PlistValue(nullptr) : it->second;
    }
    if (const auto* items = value.array()) {
        PlistValue::Array out;
        out.reserve(items->size());
        // The items of a list are mostly alike, so the key tends to sit where
        // it sat in the item before: try there before searching.
        std::size_t lastAt = 0;
        for (const auto& item : *items) {
            const auto* dict = item.dictionary();
            if (!dict) {
                out.push_back(valueForKey(item, key));
                continue;
            }
            bool sameAt = lastAt < dict->size() && dict->nth(lastAt)->first == key;
            auto it = sameAt ? dict->nth(lastAt) : dict->find(key);
            if (it == dict->end()) {
                out.emplace_back(nullptr);
                continue;
            }
            lastAt = dict->index_of(it);
            out.push_back(it->second);
        }
        return PlistValue(std::move(out));
    }
    return PlistValue(nullptr);
}

template<typename Fn>
void forEachComponent(std::string_view keyPath, Fn&& fn)
{
    std::size_t start = 0;
    while (true) {
        std::size_t dot = keyPath.find('.', start);
        if (dot == std::string_view::npos) {
            fn(keyPath.substr(start));
            return;
        }
        if (!fn(keyPath.substr(start, dot - start)))
            return;
        start = dot + 1;
    }
}

bool leadingTruth(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    while (i < s.size() && s[i] == '0')
        ++i;
    if (i == s.size())
        return false;
    char c = s[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

std::string numberText(const PlistValue& value)
{
    if (value.isBoolean())
        return *value.boolValue() ? "1" : "0";
    if (value.isInteger())
        return fmt::format("{}", *value.integerValue());
    double d = *value.doubleValue();
    if (std::isnan(d))
        return "nan";
    if (std::isinf(d))
        return d > 0 ? "inf" : "-inf";
    return fmt::format("{}", d);
}

std::string dataText(const PlistValue::Data& data)
{
    std::string text = "<";
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (i > 0 && i % 4 == 0)
            text += ' ';
        text += fmt::format("{:02x}", data[i]);
    }
    return text + '>';
}

std::string dateText(PlistValue::Date date)
{
    // Property-list dates count from 2001-01-01, 978307200 s after the Unix epoch.
    double unixSeconds = std::floor(date.seconds) + 978307200.0;
    if (!(unixSeconds > -6.0e10 && unixSeconds < 6.0e10))
        return "(invalid date)";
    std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02} +0000", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                       tm.tm_hour, tm.tm_min, tm.tm_sec);
}

// Strings inside containers are quoted unless they are letters and digits only.
std::string quotedIfNeeded(const std::string& s)
{
    bool plain = !s.empty();
    for (char c : s) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!ok) {
            plain = false;
            break;
        }
    }
    if (plain)
        return s;
    std::string out = "\"";
    for (char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    return out + '"';
}

void describeInto(std::string& out, const PlistValue& value, int depth, bool nested)
{
    const std::string indent(static_cast<std::size_t>(depth) * 4, ' ');
    const std::string inner(static_cast<std::size_t>(depth + 1) * 4, ' ');
    switch (value.type()) {
    case PlistValue::Type::Null:
        out += nested ? "<null>" : "(null)";
        return;
    case PlistValue::Type::String:
        out += nested ? quotedIfNeeded(*value.string()) : *value.string();
        return;
    case PlistValue::Type::Boolean:
    case PlistValue::Type::Integer:
    case PlistValue::Type::Real:
        out += numberText(value);
        return;
    case PlistValue::Type::Data:
        out += dataText(*value.data());
        return;
    case PlistValue::Type::Date:
        out += dateText(*value.date());
        return;
    case PlistValue::Type::Array: {
        out += "(\n";
        const auto& items = *value.array();
        for (std::size_t i = 0; i < items.size(); ++i) {
            out += inner;
            describeInto(out, items[i], depth + 1, true);
            out += i + 1 < items.size() ? ",\n" : "\n";
        }
        out += indent + ")";
        return;
    }
    case PlistValue::Type::Dictionary:
        out += "{\n";
        for (const auto& [key, item] : *value.dictionary()) {
            out += inner + quotedIfNeeded(key) + " = ";
            describeInto(out, item, depth + 1, true);
            out += ";\n";
        }
        out += indent + "}";
        return;
    }
}

} // namespace

std::int64_t leadingInteger(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    // Accumulated negatively so the most negative value fits; clamped on overflow.
    constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
    std::int64_t n = 0;
    bool clamped = false;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        int digit = s[i] - '0';
        if (n < (lowest + digit) / 10) {
            clamped = true;
            break;
        }
        n = n * 10 - digit;
    }
    if (clamped)
        return negative ? lowest : std::numeric_limits<std::int64_t>::max();
    if (negative)
        return n;
    return n == lowest ? std::numeric_limits<std::int64_t>::max() : -n;
}

std::optional<PlistValue> parsePropertyListDictionary(std::string_view body, std::size_t maxBytes)
{
    std::string why;
    return parsePropertyListDictionary(body, why, maxBytes);
}

std::optional<PlistValue> parsePropertyListDictionary(std::string_view body, std::string& why, std::size_t maxBytes)
{
    if (body.empty()) {
        why = "the reply is empty";
        return std::nullopt;
    }
    if (body.size() > maxBytes) {
        why = fmt::format("the reply is {} bytes, more than the {} a list may be", body.size(), maxBytes);
        return std::nullopt;
    }
    auto value = parsePropertyList(body, std::max(maxBytes, kMaxPropertyListExpandedBytes));
    if (!value) {
        why = "the reply is not a property list";
        return std::nullopt;
    }
    if (!value->isDictionary()) {
        why = "the reply's root is not a dictionary";
        return std::nullopt;
    }
    return value;
}

PlistValue valueForKeyPath(const PlistValue& root, std::string_view keyPath)
{
    // Walk dictionaries without copying; copy only from the first array on.
    const PlistValue* at = &root;
    std::size_t start = 0;
    while (true) {
        std::size_t dot = keyPath.find('.', start);
        std::string_view key = keyPath.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (at->isArray()) {
            PlistValue result = valueForKey(*at, key);
            if (dot == std::string_view::npos)
                return result;
            std::string_view rest = keyPath.substr(dot + 1);
            forEachComponent(rest, [&](std::string_view k) {
                result = valueForKey(result, k);
                return true;
            });
            return result;
        }
        const auto* dict = at->dictionary();
        if (!dict)
            return PlistValue(nullptr);
        auto it = dict->find(key);
        if (it == dict->end())
            return PlistValue(nullptr);
        at = &it->second;
        if (dot == std::string_view::npos)
            return *at;
        start = dot + 1;
    }
}

const PlistValue* findKeyPath(const PlistValue& root, std::string_view keyPath)
{
    const PlistValue* at = &root;
    forEachComponent(keyPath, [&](std::string_view key) {
        const auto* dict = at ? at->dictionary() : nullptr;
        if (!dict) {
            at = nullptr;
            return false;
        }
        auto it = dict->find(key);
        at = it == dict->end() ? nullptr : &it->second;
        return at != nullptr;
    });
    return at;
}

std::int64_t integerValueOf(const PlistValue& value)
{
    if (const auto* s = value.string())
        return leadingInteger(*s);
    if (value.isNumber())
        return value.integerValue().value_or(0);
    return 0;
}

std::int64_t integerValueOf(const PlistValue* value) { return value ? integerValueOf(*value) : 0; }

bool statusCodeIsSuccess(const PlistValue* code)
{
    if (code && code->isReal() && !std::isfinite(*code->doubleValue()))
        return false;
    return integerValueOf(code) == 0;
}

bool boolValueOf(const PlistValue& value)
{
    if (const auto* s = value.string())
        return leadingTruth(*s);
    if (value.isNumber())
        return value.boolValue().value_or(false);
    return false;
}

bool boolValueOf(const PlistValue* value) { return value && boolValueOf(*value); }

std::optional<std::string> stringValueOf(const PlistValue& value)
{
    if (const auto* s = value.string())
        return *s;
    return std::nullopt;
}

std::optional<std::string> stringValueOf(const PlistValue* value)
{
    return value ? stringValueOf(*value) : std::nullopt;
}

std::optional<std::string> identifierValueOf(const PlistValue* value)
{
    if (!value || !(value->isString() || value->isInteger() || value->isReal()))
        return std::nullopt;
    return describe(*value);
}

std::string describe(const PlistValue& value)
{
    std::string out;
    describeInto(out, value, 0, false);
    return out;
}

std::string describe(const PlistValue* value) { return value ? describe(*value) : "(null)"; }

} // namespace vq
