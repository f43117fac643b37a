#pragma once

#include "core/PropertyList.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vq {

// Reading values out of a property list the way the promotion client does:
// by dotted key paths, with lenient number and boolean conversions and the
// "%@" text of any value.

// A reply body larger than this is not read at all.
constexpr std::size_t kMaxPropertyListBody = 8 * 1024 * 1024;

// The dictionary a reply body holds; nullopt ("no list") when the body is
// empty, too large, not a property list, or its root is not a dictionary.
std::optional<PlistValue> parsePropertyListDictionary(std::string_view body,
                                                      std::size_t maxBytes = kMaxPropertyListBody);
// The same, saying why when there is no list.
std::optional<PlistValue> parsePropertyListDictionary(std::string_view body, std::string& why,
                                                      std::size_t maxBytes = kMaxPropertyListBody);

// Each component looks a key up in a dictionary; applied to an array it
// yields the array of that key's value in every element, a missing one as
// null. Anything missing on the way gives null.
PlistValue valueForKeyPath(const PlistValue& root, std::string_view keyPath);

// The same without copying, for paths that cross only dictionaries: nullptr
// when the value is missing or the path would cross an array.
const PlistValue* findKeyPath(const PlistValue& root, std::string_view keyPath);

// A number's integer part; a string's leading decimal integer (leading
// blanks and a sign allowed), 0 when there is none; 0 for anything else.
std::int64_t integerValueOf(const PlistValue& value);
std::int64_t integerValueOf(const PlistValue* value);

// A status code reads as success when its integer value is 0 (so a missing
// code passes); a real that is not a finite number never does.
bool statusCodeIsSuccess(const PlistValue* code);

// A number is true when non-zero; a string when, after leading blanks, a
// sign and zeros, it begins with Y, y, T, t or 1-9; anything else is false.
bool boolValueOf(const PlistValue& value);
bool boolValueOf(const PlistValue* value);

// The string, or nothing for a missing value or one of another type.
std::optional<std::string> stringValueOf(const PlistValue& value);
std::optional<std::string> stringValueOf(const PlistValue* value);

// An identifier as the server sent it: a string as it stands, a number in
// decimal; nothing for a missing value or one of another type.
std::optional<std::string> identifierValueOf(const PlistValue* value);

// The "%@" text: a string as it stands, a number in decimal, a missing
// value "(null)", arrays as "(\n    a,\n    b\n)" and dictionaries as
// "{\n    key = value;\n}", nested ones indented further.
std::string describe(const PlistValue& value);
std::string describe(const PlistValue* value);

} // namespace vq
