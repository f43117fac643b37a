#include "promotion/Reportor.h"

#include "analytics/Analytics.h"
#include "net/HttpRequest.h"
#include "platform/Log.h"
#include "platform/PropertyListValues.h"
#include "platform/TestReset.h"
#include "promotion/Gobals.h"
#include "promotion/ServerSettings.h"
#include "promotion/PromotionUnit.h"

#include <algorithm>

namespace vq {

namespace {

std::shared_ptr<Reportor>& shared()
{
    // Never destroyed, like the unit.
    static auto* reporter = new std::shared_ptr<Reportor>();
    return *reporter;
}
[[maybe_unused]] const bool resetAdded = (addResetForTests(&Reportor::resetForTests), true);

// "%@" of a value the server must still see as present: empty when missing.
std::string orEmpty(const Reportor::Text& text) { return text.value_or(""); }
// "%@" of a value printed as the formatter would: "(null)" when missing.
std::string orNull(const std::optional<std::string>& text) { return text.value_or("(null)"); }

std::string appId()
{
    auto unit = PromotionUnit::currentInstance();
    return unit ? unit->appId() : "(null)";
}

} // namespace

std::shared_ptr<Reportor> Reportor::instance()
{
    auto& reporter = shared();
    if (!reporter)
        reporter = std::make_shared<Reportor>();
    return reporter;
}

void Reportor::resetForTests() { shared().reset(); }

bool Reportor::send(const std::string& action)
{
    auto url = Gobals::encodeURL(promotionServerBase() + "/index.php?" + action);
    if (!url)
        return false;
    auto request = HttpRequest::requestWithURL(*url);
    request->setDelegate(weak_from_this());
    request->startAsynchronous();
    return true;
}

void Reportor::reportDisplay(const Text& type, const Text& adId)
{
    send(fmt::format("action=display&ver={}&appid={}&did={}&dtype={}&type={}&id={}", Gobals::appVersion(), appId(),
                     orNull(Gobals::deviceId()), Gobals::deviceIdType(), orEmpty(type), orEmpty(adId)));
}

void Reportor::reportClick(const Text& type, const Text& adId, const Text& targetAppId)
{
    send(fmt::format("action=click&ver={}&appid={}&did={}&dtype={}&type={}&id={}&target={}", Gobals::appVersion(),
                     appId(), orNull(Gobals::deviceId()), Gobals::deviceIdType(), orEmpty(type), orEmpty(adId),
                     orEmpty(targetAppId)));
}

void Reportor::reportApns(const Text& token)
{
    if (!token || token->empty())
        return;
    send(fmt::format("action=apns&appid={}&did={}&dtype={}&token={}&ver={}", appId(), orNull(Gobals::deviceId()),
                     Gobals::deviceIdType(), *token, Gobals::appVersion()));
}

void Reportor::reportInstalledApps(const std::vector<std::string>& appIds)
{
    if (appIds.empty())
        return;
    auto known = [this](const std::string& id) {
        return std::find(_reportedInstalledAppList.begin(), _reportedInstalledAppList.end(), id) !=
               _reportedInstalledAppList.end();
    };
    std::string text;
    for (std::size_t i = 0; i + 1 < appIds.size(); ++i) {
        if (known(appIds[i]))
            continue;
        _reportedInstalledAppList.push_back(appIds[i]);
        text += appIds[i] + ",";
    }
    // The server splits the list at commas and does not expect a trailing one.
    const auto& last = appIds.back();
    if (!known(last)) {
        _reportedInstalledAppList.push_back(last);
        text += last;
    } else {
        log("app {} has already been detected and reported", last);
        if (!text.empty() && text.back() == ',')
            text.pop_back();
    }
    if (!text.empty())
        reportInstalledAppString(text);
}

void Reportor::reportInstalledAppString(const std::string& list)
{
    std::string action = fmt::format("action=install&ver={}&appid={}&did={}&dtype={}&list={}", Gobals::appVersion(),
                                     appId(), orNull(Gobals::deviceId()), Gobals::deviceIdType(), list);
    send(action);
    log("report installed url  {}", promotionServerBase() + "/index.php?" + action);
}

void Reportor::reportStatus(const Text& message)
{
    // An event needs a name; a failure without a message is only logged.
    if (!message) {
        log("report status without a message");
        return;
    }
    Analytics::logEvent(*message);
}

void Reportor::requestFinished(const std::shared_ptr<HttpRequest>& request)
{
    log("[{}]report finished {}", request->responseStatusCode(), request->url());
    if (request->responseStatusCode() != 200)
        return;
    auto list = parsePropertyListDictionary(request->responseData());
    if (!list)
        return;
    if (integerValueOf(findKeyPath(*list, "status.code")) != 0) {
        const PlistValue* msg = findKeyPath(*list, "status.msg");
        reportStatus(msg ? std::optional<std::string>(describe(*msg)) : std::nullopt);
    }
}

void Reportor::requestFailed(const std::shared_ptr<HttpRequest>& request)
{
    log("report fail {}", request->url());
    // The server may not have the installed list: send all of it next time.
    _reportedInstalledAppList.clear();
}

} // namespace vq
