#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vq::test {

// A parsed JSON document, for checking what the app writes.
struct Json {
    using Array = std::vector<Json>;
    using Object = std::map<std::string, Json>;
    std::variant<std::nullptr_t, bool, double, std::string, Array, Object> value;

    bool isNull() const { return std::holds_alternative<std::nullptr_t>(value); }
    bool has(const std::string& key) const;
    // Throws std::bad_variant_access or std::out_of_range on the wrong shape,
    // which fails the test that asked.
    const Json& operator[](const std::string& key) const { return std::get<Object>(value).at(key); }
    const Json& operator[](std::size_t i) const { return std::get<Array>(value).at(i); }
    std::size_t size() const;
    double number() const { return std::get<double>(value); }
    bool boolean() const { return std::get<bool>(value); }
    const std::string& string() const { return std::get<std::string>(value); }
    const Array& array() const { return std::get<Array>(value); }
    const Object& object() const { return std::get<Object>(value); }
};

// nullopt on anything that is not exactly one JSON value.
std::optional<Json> parseJson(std::string_view text);

} // namespace vq::test
