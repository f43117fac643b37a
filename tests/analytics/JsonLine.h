#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace vq::test {

// A strict reader for the flat JSON objects of a JSON-lines file: string,
// number, boolean and null values only. nullopt on anything malformed.
using JsonValue = std::variant<std::nullptr_t, bool, double, std::string>;
using JsonObject = std::map<std::string, JsonValue>;

std::optional<JsonObject> parseJsonObject(std::string_view text);

} // namespace vq::test
