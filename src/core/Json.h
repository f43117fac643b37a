#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace vq {

// Keys stay in the order they were added: people read these files too.
using Json = nlohmann::ordered_json;

// A number as our files write it: whole numbers without a fraction ("2", not
// "2.0"), non-finite ones as null.
Json jsonNumber(double number);

// Compact JSON text. Keys and strings can come from outside (a server, a
// script): malformed UTF-8 in them is repaired as repairUtf8 does, so the
// output stays valid JSON; well-formed UTF-8 is kept, not escaped.
std::string jsonText(const Json& value);

} // namespace vq
