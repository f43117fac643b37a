#pragma once

#include <optional>
#include <string>

namespace vq {

// The promotion server's base URL: the one set at launch (--server), else the build's.
const std::string& promotionServerBase();
// nullopt goes back to the build's.
void setPromotionServerBase(std::optional<std::string> base);

} // namespace vq
