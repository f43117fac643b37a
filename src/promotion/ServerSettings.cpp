#include "promotion/ServerSettings.h"

#include <BuildSettings.h>

namespace vq {

namespace {

const std::string builtBase = build::kPromotionServerBaseURL;

std::optional<std::string>& chosen()
{
    static std::optional<std::string> base;
    return base;
}

} // namespace

const std::string& promotionServerBase() { return chosen() ? *chosen() : builtBase; }

void setPromotionServerBase(std::optional<std::string> base) { chosen() = std::move(base); }

} // namespace vq
