#pragma once

#include "core/PropertyList.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace vq {

// The two forms of a property list, read and written by our own code: the
// library we once used cut a binary string at its first NUL, copied a shared
// object for every reference to it (a few hundred bytes could ask for
// gigabytes) and turned an XML integer beyond 64 bits into another number.
// Behind parsePropertyList and writePropertyList; not for other callers.

// The binary form ("bplist00"). Nothing for bytes that are not a well-formed
// list, that nest deeper than kMaxPropertyListDepth, that hold a key with a
// NUL or text that is not Unicode, or whose objects, each counted as often as
// it is referred to and at 16 bytes at the least, come to more than
// expandedBudget bytes (then with one log line).
std::optional<PlistValue> readBinaryPropertyList(std::string_view bytes, std::size_t expandedBudget);
// Objects numbered depth first, the root 0, nothing shared; a string holding
// a NUL or anything beyond ASCII goes as UTF-16, which every reader takes whole.
std::string writeBinaryPropertyList(const PlistValue& value);

// The XML form, through expat. Nothing for a document that is not well-formed
// UTF-8 XML, declares entities, nests deeper than kMaxPropertyListDepth or is
// not a property list.
std::optional<PlistValue> readXmlPropertyList(std::string_view bytes);
std::string writeXmlPropertyList(const PlistValue& value);

// An integer as text: leading blanks and a sign, then decimal digits, clamped
// to what 64 bits hold; 0 when there are none. The one conversion for text,
// whichever form or type it came in.
std::int64_t leadingInteger(std::string_view text);

// A date as the files keep it: whole seconds in 32 bits and microseconds.
// Beyond that range it is the nearest date they can hold; NaN is the epoch.
std::pair<std::int32_t, std::int32_t> dateParts(PlistValue::Date date);

// UTF-8 text; NUL characters allowed.
bool isUtf8Text(std::string_view text);

} // namespace vq
