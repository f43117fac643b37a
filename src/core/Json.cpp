#include "core/Json.h"

#include "core/Utf8.h"

#include <algorithm>
#include <cmath>

namespace vq {

Json jsonNumber(double number)
{
    if (!std::isfinite(number))
        return nullptr;
    if (number == std::floor(number) && std::abs(number) < 1e15)
        return static_cast<long long>(number);
    return number;
}

namespace {

bool needsRepair(const Json& value)
{
    if (value.is_string())
        return !isValidUtf8(value.get_ref<const std::string&>());
    if (value.is_array())
        return std::any_of(value.begin(), value.end(), needsRepair);
    if (value.is_object()) {
        for (const auto& [key, item] : value.items())
            if (!isValidUtf8(key) || needsRepair(item))
                return true;
    }
    return false;
}

Json repaired(const Json& value)
{
    if (value.is_string())
        return repairUtf8(value.get_ref<const std::string&>());
    if (value.is_array()) {
        Json out = Json::array();
        for (const auto& item : value)
            out.push_back(repaired(item));
        return out;
    }
    if (value.is_object()) {
        Json out = Json::object();
        for (const auto& [key, item] : value.items())
            out[repairUtf8(key)] = repaired(item);
        return out;
    }
    return value;
}

} // namespace

std::string jsonText(const Json& value)
{
    // nlohmann's own replacement folds a cut-off sequence into one U+FFFD;
    // repairing first keeps one per malformed byte, as the text views do.
    // Its handler stays as the guard against a throw.
    if (needsRepair(value))
        return repaired(value).dump(-1, ' ', false, Json::error_handler_t::replace);
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

} // namespace vq
