#pragma once

#include <string>

namespace vq {

// The promotion server's base URL (scheme and host, no trailing slash): the
// build's setting unless the command line or a test has replaced it.
const std::string& promotionServerBase();
void setPromotionServerBase(std::string base);

} // namespace vq
