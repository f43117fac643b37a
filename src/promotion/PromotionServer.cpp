#include "promotion/PromotionServer.h"

#include "platform/TestReset.h"

#include <BuildSettings.h>

namespace vq {

namespace {
std::string& base()
{
    static std::string value = build::kPromotionServerBaseURL;
    return value;
}
[[maybe_unused]] const bool resetAdded =
    (addResetForTests([] { base() = build::kPromotionServerBaseURL; }), true);
} // namespace

const std::string& promotionServerBase() { return base(); }
void setPromotionServerBase(std::string value) { base() = std::move(value); }

} // namespace vq
