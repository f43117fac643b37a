#include "promotion/Reportor.h"

#include "analytics/Analytics.h"
#include "core/Log.h"
#include "core/PropertyListValues.h"
#include "core/StringAdditions.h"
#include "core/TestResets.h"
#include "net/HttpRequest.h"
#include "promotion/Gobals.h"
#include "promotion/PromotionUnit.h"
#include "promotion/ServerSettings.h"

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

bool Reportor::send(const Query& query)
{
    auto url = Gobals::encodeURL(promotionServerBase() + "/index.php?");
    if (!url)
        return false;
    for (const auto& [key, value] : query) {
        auto escaped = percentEscapeLatin1(value, kQueryValueDelimiters);
        if (!escaped) {
            log("report {} not sent: its {} cannot be written in a URL", query.front().second, key);
            return false;
        }
        *url += fmt::format("{}{}={}", &key == &query.front().first ? "" : "&", key, *escaped);
    }
    auto request = HttpRequest::requestWithURL(*url);
    request->setDelegate(weak_from_this());
    request->startAsynchronous();
    return true;
}

void Reportor::reportDisplay(const Text& type, const Text& adId)
{
    send({{"action", "display"}, {"ver", Gobals::appVersion()}, {"appid", appId()},
          {"did", orNull(Gobals::deviceId())}, {"dtype", Gobals::deviceIdType()}, {"type", orEmpty(type)},
          {"id", orEmpty(adId)}});
}

void Reportor::reportClick(const Text& type, const Text& adId, const Text& targetAppId)
{
    send({{"action", "click"}, {"ver", Gobals::appVersion()}, {"appid", appId()},
          {"did", orNull(Gobals::deviceId())}, {"dtype", Gobals::deviceIdType()}, {"type", orEmpty(type)},
          {"id", orEmpty(adId)}, {"target", orEmpty(targetAppId)}});
}

void Reportor::reportApns(const Text& token)
{
    if (!token || token->empty())
        return;
    send({{"action", "apns"}, {"appid", appId()}, {"did", orNull(Gobals::deviceId())},
          {"dtype", Gobals::deviceIdType()}, {"token", *token}, {"ver", Gobals::appVersion()}});
}

void Reportor::reportInstalledApps(const std::vector<std::string>& appIds)
{
    if (appIds.empty())
        return;
    const auto& last = appIds.back();
    bool lastKnown = _reportedInstalledApps.contains(last) ||
                     std::find(appIds.begin(), appIds.end() - 1, last) != appIds.end() - 1;
    // Each id not reported before, once, in the order given.
    std::vector<std::string> fresh;
    for (const auto& id : appIds)
        if (_reportedInstalledApps.insert(id).second)
            fresh.push_back(id);
    if (lastKnown)
        log("app {} has already been detected and reported", last);
    if (fresh.empty())
        return;
    // The server splits the list at commas and does not expect a trailing one.
    std::string text;
    for (const auto& id : fresh)
        text += (text.empty() ? "" : ",") + id;
    if (reportInstalledAppString(text)) {
        _reportedInstalledAppList.insert(_reportedInstalledAppList.end(), fresh.begin(), fresh.end());
        return;
    }
    // Not sent: these count as never reported.
    for (const auto& id : fresh)
        _reportedInstalledApps.erase(id);
}

bool Reportor::reportInstalledAppString(const std::string& list)
{
    Query query{{"action", "install"}, {"ver", Gobals::appVersion()}, {"appid", appId()},
                {"did", orNull(Gobals::deviceId())}, {"dtype", Gobals::deviceIdType()}, {"list", list}};
    if (!send(query))
        return false;
    std::string shown;
    for (const auto& [key, value] : query)
        shown += fmt::format("{}{}={}", shown.empty() ? "" : "&", key, value);
    log("report installed url  {}", promotionServerBase() + "/index.php?" + shown);
    return true;
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
    if (!statusCodeIsSuccess(findKeyPath(*list, "status.code"))) {
        const PlistValue* msg = findKeyPath(*list, "status.msg");
        reportStatus(msg ? std::optional<std::string>(describe(*msg)) : std::nullopt);
    }
}

void Reportor::requestFailed(const std::shared_ptr<HttpRequest>& request)
{
    log("report fail {}", request->url());
    // The server may not have the installed list: send all of it next time.
    _reportedInstalledAppList.clear();
    _reportedInstalledApps.clear();
}

} // namespace vq
