#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string_view>

namespace vq::test {

// What the app writes, parsed for checking. Look keys up with at(): a missing
// key then throws and fails the test that asked.
using Json = nlohmann::json;

// nullopt on anything that is not exactly one JSON value, and on an object
// that names a key twice (nlohmann itself would keep the last silently).
std::optional<Json> parseJson(std::string_view text);

} // namespace vq::test
