#include "promotion/PromotionUnit.h"

#include "core/Log.h"
#include "core/NotificationCenter.h"
#include "core/PropertyListValues.h"
#include "core/TestResets.h"
#include "core/UserDefaults.h"
#include "graphics/Screen.h"
#include "net/HttpRequest.h"
#include "promotion/ads/AdGenerator.h"
#include "promotion/ExternalLinkHandler.h"
#include "promotion/Gobals.h"
#include "promotion/InternalLinkHandler.h"
#include "promotion/PropertyListLoad.h"
#include "promotion/Reportor.h"
#include "promotion/ServerSettings.h"
#include "system/Application.h"
#include "ui/ActivityIndicator.h"
#include "ui/Window.h"

#include <fmt/format.h>

namespace vq {

namespace {

std::shared_ptr<PromotionUnit>& instance()
{
    // Process-wide and never destroyed: it outlives the notification
    // centre and the HTTP service at exit.
    static auto* unit = new std::shared_ptr<PromotionUnit>();
    return *unit;
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

std::string describeList(const std::shared_ptr<const PlistValue>& list)
{
    return list ? describe(*list) : std::string("(null)");
}

} // namespace

std::shared_ptr<PromotionUnit> PromotionUnit::defaultInstance(const std::string& appId)
{
    auto& unit = instance();
    if (!unit) {
        unit = std::make_shared<PromotionUnit>(Token{}, appId);
        unit->initWithAppId();
    }
    return unit;
}

std::shared_ptr<PromotionUnit> PromotionUnit::currentInstance() { return instance(); }

void PromotionUnit::resetForTests() { instance().reset(); }

namespace {
// Tests launch the app afresh after the platform's reset, unit included.
[[maybe_unused]] const bool resetAdded = (addResetForTests(&PromotionUnit::resetForTests), true);
} // namespace

PromotionUnit::PromotionUnit(Token, std::string appId) : _appId(std::move(appId)) {}

PromotionUnit::~PromotionUnit()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    if (_request)
        _request->clearDelegatesAndCancel();
}

void PromotionUnit::initWithAppId()
{
    log("Server Base URL {}", promotionServerBase());
    log("init sdk with app id {}", _appId);
    _internalLinkHandler = InternalLinkHandler::create();
    _internalLinkHandler->setDelegate(weak_from_this());
    _externalLinkHandler = ExternalLinkHandler::create();

    _loadingView = ActivityIndicator::create(ActivityIndicatorStyle::WhiteLarge);
    _loadingView->setFrame({0, 0, 100, 100});
    Rect app = Screen::main().applicationFrame();
    _loadingView->setCenter({app.width() / 2, app.height() / 2});
    _loadingView->setBackgroundColor(Color::blackColor());
    _loadingView->setCornerRadius(15);
    _loadingView->setClipsToBounds(true);
    _loadingView->setAlpha(0.7f);

    std::weak_ptr<PromotionUnit> weak = weak_from_this();
    auto& center = NotificationCenter::defaultCenter();
    center.addObserver(KeyboardDidShowNotification, this, [weak](const Notification&) {
        if (auto self = weak.lock())
            self->noticeShowKeyboard();
    });
    center.addObserver(KeyboardWillHideNotification, this, [weak](const Notification&) {
        if (auto self = weak.lock())
            self->noticeHideKeyboard();
    });
}

std::shared_ptr<const PlistValue> PromotionUnit::promotionList() const
{
    std::lock_guard lock(_listMutex);
    return _promotionList;
}

void PromotionUnit::setPromotionList(std::shared_ptr<const PlistValue> list)
{
    std::lock_guard lock(_listMutex);
    _promotionList = std::move(list);
}

std::optional<std::string> PromotionUnit::promotionURL() const
{
    auto url = fmt::format("{}/index.php?action=info&appid={}&did={}&dtype={}&tz={}&os={:f}&dv={}&ver={}",
                           promotionServerBase(), _appId, Gobals::deviceId().value_or("(null)"),
                           Gobals::deviceIdType(), Gobals::timezone(), Gobals::systemVersion(), Gobals::deviceModel(),
                           Gobals::appVersion());
    return Gobals::encodeURL(url);
}

void PromotionUnit::becomeActived() { doPromotionListRequestAsync(); }

void PromotionUnit::doPromotionListRequestAsync()
{
    // Waiting in the queue counts as running: one fetch at a time.
    if (_request && !_request->isFinished())
        return;
    if (_request)
        _request->clearDelegatesAndCancel();
    _request.reset();
    auto url = promotionURL();
    if (!url)
        return;
    _request = HttpRequest::requestWithURL(*url);
    // A list that trickles in would keep this fetch "running" and every later one from starting.
    _request->setDeadlineSeconds(kListDeadlineSeconds);
    _request->setDelegate(weak_from_this());
    _request->startAsynchronous();
}

void PromotionUnit::requestFinished(const std::shared_ptr<HttpRequest>& request)
{
    if (request->responseStatusCode() != 200 || request->responseData().empty())
        return;
    std::string why;
    auto parsed = parsePropertyListDictionary(request->responseData(), why);
    if (!parsed)
        log("promotion list refused: {}", why);
    setPromotionList(parsed ? std::make_shared<const PlistValue>(std::move(*parsed)) : nullptr);
    log("promotion list {}", describeList(promotionList()));
    if (checkStatus())
        reload();
}

void PromotionUnit::requestFailed(const std::shared_ptr<HttpRequest>& request)
{
    log("get promotion list failed {}", request->url());
}

std::shared_ptr<const PlistValue> PromotionUnit::doPromotionListRequestSync()
{
    // The cancelled fetch still reports its failure.
    if (_request && !_request->isFinished())
        _request->cancel();
    auto url = promotionURL();
    if (!url)
        return nullptr;
    auto list = loadPropertyListBlocking(*url);
    return list ? std::make_shared<const PlistValue>(std::move(*list)) : nullptr;
}

bool PromotionUnit::checkStatus()
{
    auto list = promotionList();
    if (!list)
        return false;
    if (statusCodeIsSuccess(findKeyPath(*list, "status.code")))
        return true;
    const PlistValue* msg = findKeyPath(*list, "status.msg");
    Reportor::instance()->reportStatus(msg ? std::optional<std::string>(describe(*msg)) : std::nullopt);
    return false;
}

void PromotionUnit::present(const std::shared_ptr<Ad>& ad, const std::shared_ptr<const PlistValue>& list)
{
    if (!ad)
        return;
    ad->setLinkHandler(_internalLinkHandler);
    ad->setDelegate(weak_from_this());
    ad->setContentInfo(list);
    ad->showAd();
}

void PromotionUnit::reload()
{
    auto list = promotionList();
    if (!list)
        return;
    if (isApns())
        registDevice();

    if (!_isKeyboardVisible && !Gobals::isAppStoreDisplaying() && !_hasAdsShowed) {
        if (integerValueOf(findKeyPath(*list, "base.launch_type")) == 0 || _displayTime == 0) {
            const PlistValue* adType = findKeyPath(*list, "base.ad_type");
            if (!adType) {
                log("get property[adtype] failed");
            } else {
                _lastAd = AdGenerator::adWithType(AdGenerator::adTypeFromName(stringValueOf(adType)));
                auto ad = _lastAd;
                present(ad, list);
                ++_displayTime;
            }
        }
    }

    bool forceAlert = boolValueOf(findKeyPath(*list, "base.force_alert"));
    log("is keyboard visible {:d}, is app store displaying {:d}, has ads showed {:d}, force_alert {:d}",
        Gobals::isKeyboardVisible(), Gobals::isAppStoreDisplaying(), _hasAdsShowed, forceAlert);
    if (forceAlert && !_alertAd) {
        _alertAd = AdGenerator::adWithType(1);
        auto ad = _alertAd;
        present(ad, list);
    }
    bannerKey();
}

void PromotionUnit::showAdWithType(int type) { showAdOnRequest(type, true); }

void PromotionUnit::showCurrentTypeAd() { showAdOnRequest(std::nullopt, false); }

void PromotionUnit::showAdOnRequest(std::optional<int> type, bool logList)
{
    if (_hasAdsShowed)
        return;
    showIndicator();
    setPromotionList(doPromotionListRequestSync());
    auto list = promotionList();
    if (logList)
        log("{}", describeList(list));
    if (checkStatus()) {
        int t = type ? *type : AdGenerator::adTypeFromName(stringValueOf(findKeyPath(*list, "base.ad_type")));
        _lastAd = AdGenerator::adWithType(t, 1);
        auto ad = _lastAd;
        present(ad, list);
    }
    hideIndicator();
}

void PromotionUnit::showIndicator()
{
    // The blocking load that follows lets the window draw it once before the wait.
    if (auto window = Application::shared().keyWindow()) {
        window->addSubview(_loadingView);
        window->bringSubviewToFront(_loadingView);
    }
    _loadingView->startAnimating();
}

void PromotionUnit::hideIndicator()
{
    _loadingView->stopAnimating();
    _loadingView->removeFromSuperview();
}

std::optional<std::string> PromotionUnit::bannerKey()
{
    auto& defaults = UserDefaults::standard();
    auto stored = defaults.stringForKey(kBannerKeyDefaultsKey);
    std::optional<std::string> result;
    auto list = promotionList();
    // Only a text counts as the server's key; any other value is ignored, and
    // so is a text holding a NUL, which no unit's name does.
    auto server = list ? stringValueOf(findKeyPath(*list, "base.banner_key")) : std::nullopt;
    if (server && server->find('\0') != std::string::npos)
        server.reset();
    if (server) {
        if (server != stored) {
            defaults.setString(kBannerKeyDefaultsKey, *server);
            defaults.synchronize();
        }
        result = server;
    } else if (stored && !stored->empty()) {
        result = stored;
    }
    // An empty key names no unit: the banner slot keeps asking.
    if (result == "none" || result == "")
        return std::nullopt;
    return result;
}

void PromotionUnit::handleLink(const std::optional<std::string>& link) { _externalLinkHandler->handleLink(link); }

bool PromotionUnit::isApns() const
{
    auto list = promotionList();
    if (!list || _isRegistDeviceSuccess)
        return false;
    return boolValueOf(findKeyPath(*list, "base.apns"));
}

void PromotionUnit::registDevice()
{
    Application::shared().registerForRemoteNotifications(RemoteNotificationTypeBadge | RemoteNotificationTypeSound |
                                                         RemoteNotificationTypeAlert);
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

void PromotionUnit::adDidShowed(Ad& ad)
{
    if (&ad == _lastAd.get())
        _hasAdsShowed = true;
}

void PromotionUnit::adDidHided(Ad& ad)
{
    if (&ad == _lastAd.get())
        _hasAdsShowed = false;
    // Forgotten so that a later refresh may open a new one.
    if (&ad == _alertAd.get())
        _alertAd.reset();
}

void PromotionUnit::internalAppStoreWillAppear()
{
    if (auto ad = _lastAd)
        ad->hideAd();
    if (auto ad = _alertAd)
        ad->hideAd();
}

void PromotionUnit::internalAppStoreWillDisappear()
{
    auto ad = _lastAd;
    if (!ad || ad->adType() == "bigads")
        return;
    ad->showAd();
}

} // namespace vq
