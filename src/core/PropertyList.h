#pragma once

#include <boost/container/flat_map.hpp>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vq {

// One property-list value: what user defaults store and what the promotion
// server sends. Dictionaries keep their keys sorted.
class PlistValue {
public:
    // Byte order, as std::string compares, but decided on the first byte
    // where it can: the keys of one dictionary mostly differ there, and a
    // lookup then costs no call to memcmp. Transparent, so keys can be
    // looked up by string_view without a copy.
    struct KeyOrder {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const
        {
            if (!a.empty() && !b.empty() && a[0] != b[0])
                return static_cast<unsigned char>(a[0]) < static_cast<unsigned char>(b[0]);
            return a < b;
        }
    };
    using Array = std::vector<PlistValue>;
    // Sorted pairs in one block: a key path through a thousand items then
    // reads memory in order instead of chasing a tree node per comparison.
    using Dictionary = boost::container::flat_map<std::string, PlistValue, KeyOrder>;
    using Data = std::vector<std::uint8_t>;
    // Seconds since 2001-01-01 00:00:00 UTC, as property lists count them
    // (XML keeps whole seconds only).
    struct Date {
        double seconds = 0;
        friend bool operator==(const Date&, const Date&) = default;
    };
    // Null stands for a missing value where one must be held, as in the
    // array a key path yields through items that lack the key. Parsing never
    // produces it; writing leaves it out.
    struct Null {
        friend bool operator==(const Null&, const Null&) = default;
    };
    enum class Type { Boolean, Integer, Real, String, Data, Date, Array, Dictionary, Null };

    // An empty dictionary, the usual root.
    PlistValue() : _value(Dictionary{}) {}
    PlistValue(bool b) : _value(b) {}
    PlistValue(int i) : _value(std::int64_t{i}) {}
    PlistValue(std::int64_t i) : _value(i) {}
    PlistValue(double d) : _value(d) {}
    PlistValue(const char* s) : _value(std::string(s)) {}
    PlistValue(std::string s) : _value(std::move(s)) {}
    PlistValue(Data d) : _value(std::move(d)) {}
    PlistValue(Date d) : _value(d) {}
    PlistValue(Array a) : _value(std::move(a)) {}
    PlistValue(Dictionary d) : _value(std::move(d)) {}
    PlistValue(std::nullptr_t) : _value(Null{}) {}

    Type type() const { return static_cast<Type>(_value.index()); }
    bool isBoolean() const { return type() == Type::Boolean; }
    bool isInteger() const { return type() == Type::Integer; }
    bool isReal() const { return type() == Type::Real; }
    bool isNumber() const { return isBoolean() || isInteger() || isReal(); }
    bool isString() const { return type() == Type::String; }
    bool isData() const { return type() == Type::Data; }
    bool isDate() const { return type() == Type::Date; }
    bool isArray() const { return type() == Type::Array; }
    bool isDictionary() const { return type() == Type::Dictionary; }
    bool isNull() const { return type() == Type::Null; }

    // nullptr when the value is of another type.
    const std::string* string() const { return std::get_if<std::string>(&_value); }
    const Array* array() const { return std::get_if<Array>(&_value); }
    Array* array() { return std::get_if<Array>(&_value); }
    const Dictionary* dictionary() const { return std::get_if<Dictionary>(&_value); }
    Dictionary* dictionary() { return std::get_if<Dictionary>(&_value); }
    const Data* data() const { return std::get_if<Data>(&_value); }
    std::optional<Date> date() const;

    // Numbers (booleans count as 0 and 1); nullopt for other types.
    std::optional<double> doubleValue() const;
    // Reals are truncated toward zero.
    std::optional<std::int64_t> integerValue() const;
    std::optional<bool> boolValue() const;

    // A dictionary's value for key; nullptr when absent or not a dictionary.
    const PlistValue* find(const std::string& key) const;

    friend bool operator==(const PlistValue&, const PlistValue&) = default;

private:
    std::variant<bool, std::int64_t, double, std::string, Data, Date, Array, Dictionary, Null> _value;
};

// A dictionary from pairs in any order, in O(n log n) however they come;
// of pairs with one key, the last wins, as when each replaces the one before.
PlistValue::Dictionary dictionaryFromPairs(PlistValue::Dictionary::sequence_type pairs);

enum class PlistFormat { Xml, Binary };

// Arrays and dictionaries nested deeper than this are refused.
inline constexpr int kMaxPropertyListDepth = 512;

// A binary list may share one object between many references; copied out for
// each, its objects may come to no more than this many bytes, as much as a
// promotion reply may hold.
inline constexpr std::size_t kMaxPropertyListExpandedBytes = std::size_t{8} << 20;

// Parses XML or binary property-list bytes; nullopt when they are neither,
// when they nest deeper than kMaxPropertyListDepth, or when a binary list
// expands past expandedBudget (one log line says so).
std::optional<PlistValue> parsePropertyList(std::string_view bytes,
                                            std::size_t expandedBudget = kMaxPropertyListExpandedBytes);
// Why the value cannot be written in that form and read back whole, or
// nullopt when it can: XML cannot carry a NUL character in a string (the
// binary form can), no form we read takes a key holding one, and text must
// be UTF-8.
std::optional<std::string> propertyListWriteError(const PlistValue& value, PlistFormat format);
// The bytes of the value in that form; empty, with one log line, when
// propertyListWriteError names a reason (and for a Null value).
std::string writePropertyList(const PlistValue& value, PlistFormat format = PlistFormat::Xml);

} // namespace vq
