#include "promotion/ServerSettings.h"

namespace vq {

namespace {

const std::string builtBase = "http://127.0.0.1:8737";

std::optional<std::string>& chosen()
{
    static std::optional<std::string> base;
    return base;
}

} // namespace

const std::string& promotionServerBase() { return chosen() ? *chosen() : builtBase; }

void setPromotionServerBase(std::optional<std::string> base) { chosen() = std::move(base); }

} // namespace vq
