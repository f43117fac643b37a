#include "promotion/PromotionUnit.h"

#include "platform/Log.h"
#include "platform/TestReset.h"
#include "platform/UserDefaults.h"

#include <fmt/format.h>

namespace vq {

namespace {

std::shared_ptr<PromotionUnit>& instance()
{
    // Process-wide and never destroyed.
    static std::shared_ptr<PromotionUnit> unit;
    return unit;
}

// The platform's text form of token data: "<0a1b2c3d 4e5f...>".
std::string tokenDescription(const std::vector<std::uint8_t>& token)
{
    std::string text = "<";
    for (std::size_t i = 0; i < token.size(); ++i) {
        if (i > 0 && i % 4 == 0)
            text += ' ';
        text += fmt::format("{:02x}", token[i]);
    }
    text += '>';
    return text;
}

} // namespace

std::shared_ptr<PromotionUnit> PromotionUnit::defaultInstance(const std::string& appId)
{
    auto& unit = instance();
    if (!unit)
        unit = std::make_shared<PromotionUnit>(appId);
    return unit;
}

std::shared_ptr<PromotionUnit> PromotionUnit::currentInstance() { return instance(); }

void PromotionUnit::resetForTests() { instance().reset(); }

namespace {
// Tests launch the app afresh after the platform's reset, unit included.
[[maybe_unused]] const bool resetAdded = (addResetForTests(&PromotionUnit::resetForTests), true);
} // namespace

PromotionUnit::PromotionUnit(std::string appId) : _appId(std::move(appId))
{
    log("init sdk with app id {}", _appId);
}

void PromotionUnit::becomeActived()
{
    // The list fetch that follows an activation belongs to the promotion protocol.
    ++_becomeActivedCount;
}

void PromotionUnit::showAdWithType(int type)
{
    // Only recorded until the list fetch and the presenters exist.
    _requestedAdTypes.push_back(type);
}

std::optional<std::string> PromotionUnit::bannerKey() const
{
    // Until a promotion list arrives, the key remembered from an earlier run.
    auto stored = UserDefaults::standard().stringForKey(kBannerKeyDefaultsKey);
    if (!stored || stored->empty() || *stored == "none")
        return std::nullopt;
    return stored;
}

std::string PromotionUnit::registDeviceSucess(const std::vector<std::uint8_t>& token)
{
    _isRegistDeviceSuccess = true;
    std::string text = tokenDescription(token);
    log("regist success.[token={}]", text);
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c == '<' || c == '>')
            continue;
        result += c == ' ' ? '-' : c;
    }
    return result;
}

} // namespace vq
