#include "adnetwork/BannerView.h"

#include "core/EventHub.h"
#include "core/Log.h"
#include "core/StringAdditions.h"
#include "core/TestResets.h"
#include "core/Timer.h"
#include "core/Url.h"
#include "graphics/Image.h"
#include "graphics/PictureLoader.h"
#include "graphics/Screen.h"
#include "net/HttpRequest.h"
#include "system/Application.h"
#include "system/Device.h"
#include "system/DeviceVariant.h"
#include "ui/ImageView.h"
#include "ui/TapGestureRecognizer.h"

#include <BuildSettings.h>

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <span>

namespace vq {

namespace {

std::optional<std::string>& adServerSetting()
{
    static std::optional<std::string> base;
    return base;
}

[[maybe_unused]] const bool resetAdded = (addResetForTests([] { adServerSetting().reset(); }), true);

bool usableKey(const std::optional<std::string>& key) { return key && !key->empty() && *key != "none"; }

bool isWebLink(const std::string& text)
{
    auto url = Url::parse(text);
    return url && (url->scheme() == "http" || url->scheme() == "https") && url->host() && !url->host()->empty();
}

} // namespace

// Hears the HTTP request for the view, which may be gone by the time it answers.
class BannerView::Loader : public HttpRequestDelegate {
public:
    Loader(std::weak_ptr<BannerView> owner, std::string unit) : _owner(std::move(owner)), _unit(std::move(unit)) {}

    void requestFinished(const std::shared_ptr<HttpRequest>& request) override
    {
        if (auto owner = current(request))
            owner->loaded(*request, _unit);
    }
    void requestFailed(const std::shared_ptr<HttpRequest>& request) override
    {
        if (auto owner = current(request))
            owner->loadFailed(_unit, request->error().value_or("no reply"));
    }

private:
    // The view, while this request is still the one it waits for.
    std::shared_ptr<BannerView> current(const std::shared_ptr<HttpRequest>& request) const
    {
        auto owner = _owner.lock();
        if (!owner || owner->_loading != request)
            return nullptr;
        owner->_loading.reset();
        return owner;
    }

    std::weak_ptr<BannerView> _owner;
    std::string _unit;
};

void BannerView::setAdServer(std::optional<std::string> base)
{
    // "http://host/" and "http://host" name the same server; paths are added with their own slash.
    while (base && !base->empty() && base->back() == '/')
        base->pop_back();
    adServerSetting() = std::move(base);
}

std::string BannerView::adServer() { return adServerSetting().value_or(build::kPromotionServerBaseURL); }

std::string BannerView::deviceIdentifier()
{
    return stringFromMD5(Device::current().advertisingIdentifier()).value_or("");
}

Size BannerView::sizeFor(AdSize)
{
    Rect screen = Screen::main().bounds();
    return {screen.width(), currentDeviceVariant() == DeviceVariant::Tablet ? 90.0 : 50.0};
}

std::shared_ptr<BannerView> BannerView::create(AdSize size)
{
    auto banner = std::shared_ptr<BannerView>(new BannerView(Rect{{0, 0}, sizeFor(size)}));
    banner->_picture = ImageView::create(banner->bounds());
    banner->_picture->setHidden(true);
    banner->addSubview(banner->_picture);
    std::weak_ptr<BannerView> weak = banner;
    banner->addGestureRecognizer(TapGestureRecognizer::create([weak](TapGestureRecognizer&) {
        if (auto self = weak.lock())
            self->openClickURL();
    }));
    return banner;
}

BannerView::BannerView(Rect frame) : View(frame) {}

BannerView::~BannerView()
{
    if (_refreshTimer)
        _refreshTimer->invalidate();
    if (_loading)
        _loading->clearDelegatesAndCancel();
}

std::shared_ptr<Image> BannerView::image() const { return _picture->image(); }

void BannerView::loadRequest(const AdRequest& request)
{
    ++_loadCount;
    _lastRequest = request;
    _requestedUnitIDs.push_back(_adUnitID);
    if (!usableKey(_adUnitID))
        return;
    start(*_adUnitID, request);
}

void BannerView::start(const std::string& unit, const AdRequest& request)
{
    if (_loading)
        std::exchange(_loading, nullptr)->clearDelegatesAndCancel();
    _decoding.reset();
    const auto& devices = request.testDevices();
    bool test = devices && std::find(devices->begin(), devices->end(), deviceIdentifier()) != devices->end();
    Size size = frame().size;
    auto url = fmt::format("{}/banner?unit={}&w={}&h={}&test={}", adServer(), percentEscapeQueryValue(unit),
                           std::lround(size.width), std::lround(size.height), test ? 1 : 0);
    _loader = std::make_shared<Loader>(std::static_pointer_cast<BannerView>(self()), unit);
    _loading = HttpRequest::requestWithURL(url);
    _loading->setDelegate(_loader);
    EventHub::shared().publish(BannerEvent{"requested", unit});
    _loading->startAsynchronous();
}

void BannerView::loaded(const HttpRequest& request, const std::string& unit)
{
    int status = request.responseStatusCode();
    if (status != 200)
        return loadFailed(unit, fmt::format("status {}", status));
    const std::string& body = request.responseData();
    if (body.size() > maxPictureBytes)
        return loadFailed(unit, fmt::format("the picture is larger than {} bytes", maxPictureBytes));
    // Decoded off the main thread, no larger than the banner shows it.
    double scale = Device::current().info().scale;
    Size size = bounds().size;
    PictureBounds cover{static_cast<int>(std::ceil(size.width * scale)), static_cast<int>(std::ceil(size.height * scale))};
    auto link = request.responseHeader("X-Banner-Link");
    std::weak_ptr<BannerView> weak = std::static_pointer_cast<BannerView>(self());
    _decoding = PictureLoader::loadData(body, scale, cover, [weak, unit, link](const DecodedPicture& picture) {
        auto self = weak.lock();
        if (!self)
            return;
        self->_decoding.reset();
        if (!picture.image)
            return self->loadFailed(unit, picture.error);
        self->show(picture.image, link, unit);
    });
}

void BannerView::show(std::shared_ptr<Image> picture, const std::optional<std::string>& link, const std::string& unit)
{
    _clickURL = link && isWebLink(*link) ? link : std::nullopt;
    _picture->setFrame(bounds());
    _picture->setImage(std::move(picture));
    _picture->setHidden(false);
    scheduleRefresh();
    EventHub::shared().publish(BannerEvent{"received", unit});
    // Our frame never changes with the picture, so it is final here.
    if (auto delegate = _delegate.lock())
        delegate->adViewDidReceiveAd(*this);
}

void BannerView::loadFailed(const std::string& unit, const std::string& why)
{
    log("banner {} failed to load: {}", unit, why);
    // Tried again on the refresh schedule: a server that was down, or had
    // nothing for this key yet, may have a banner a minute later.
    scheduleRefresh();
    EventHub::shared().publish(BannerEvent{"failed", unit});
}

void BannerView::scheduleRefresh()
{
    if (_refreshTimer)
        return;
    std::weak_ptr<BannerView> weak = std::static_pointer_cast<BannerView>(self());
    _refreshTimer = Timer::scheduledTimer(refreshInterval, true, [weak](Timer& timer) {
        auto self = weak.lock();
        if (!self) {
            timer.invalidate();
            return;
        }
        // A refresh already on its way is left to finish.
        if (!self->isLoading() && usableKey(self->_adUnitID))
            self->start(*self->_adUnitID, self->_lastRequest.value_or(AdRequest::request()));
    });
}

void BannerView::openClickURL()
{
    if (_clickURL && image())
        Application::shared().openURL(*_clickURL);
}

} // namespace vq
