#include "promotion/ads/BigAd.h"

#include "core/Log.h"
#include "core/PropertyListValues.h"
#include "graphics/Font.h"
#include "promotion/ads/AdOverlay.h"
#include "promotion/AppDetector.h"
#include "promotion/Gobals.h"
#include "promotion/InternalLinkHandler.h"
#include "promotion/Reportor.h"
#include "promotion/ShownText.h"
#include "promotion/WebImageView.h"
#include "system/DeviceVariant.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"

namespace vq {

namespace {

// Card measures per device variant, in points.
struct BigAdLayout {
    Size card;
    const char* cardImage;
    Rect close;
    const char* closeImage;
    Size picture;
    double pictureLift; // picture centre above the card's middle
    Size title;
    double titleY;
    bool titleOnCardMiddle; // else centred on half the screen's width
    double titleFont;
    Size detail;
    double detailY;
    double detailFont;
    Size get;
    double getY;
};

const BigAdLayout& layoutFor(DeviceVariant variant)
{
    static const BigAdLayout phone{{304, 400}, "ad-big",   {-5, -5, 28, 28}, "ad-close", {280, 257}, 30,
                                   {200, 30},  25,         false,            20,         {250, 30},  320,
                                   16,         {109, 26},  365};
    static const BigAdLayout tall{{304, 486}, "ad-big-i5", {-5, -5, 28, 28}, "ad-close", {280, 341}, 30,
                                  {200, 30},  25,          false,            20,         {270, 30},  402,
                                  16,         {109, 26},   450};
    static const BigAdLayout tablet{{534, 765}, "ad-big-ipad", {-10, -10, 51, 51}, "ad-close-ipad", {501, 541}, 46,
                                    {400, 30},  38,            true,               30,              {480, 50},  635,
                                    20,         {174, 40},     710};
    switch (variant) {
    case DeviceVariant::Tablet: return tablet;
    case DeviceVariant::TallPhone: return tall;
    case DeviceVariant::Phone: break;
    }
    return phone;
}

Rect centredRect(Size size, double cx, double cy)
{
    return {cx - size.width / 2, cy - size.height / 2, size.width, size.height};
}

std::optional<std::string> text(const std::shared_ptr<const PlistValue>& dict, std::string_view path)
{
    return dict ? stringValueOf(findKeyPath(*dict, path)) : std::nullopt;
}

} // namespace

std::shared_ptr<BigAd> BigAd::create() { return std::make_shared<BigAd>(); }

BigAd::~BigAd() = default;

std::shared_ptr<View> BigAd::bigView() const { return _overlay ? _overlay->rootView() : nullptr; }
std::shared_ptr<Button> BigAd::maskView() const { return _overlay ? _overlay->maskView() : nullptr; }
std::shared_ptr<View> BigAd::bigContentView() const { return _overlay ? _overlay->cardView() : nullptr; }

void BigAd::setContentInfo(std::shared_ptr<const PlistValue> dict)
{
    if (!dict)
        return;
    _dict = std::move(dict);
    initUI();
    initUIContent();
}

void BigAd::initUI()
{
    const BigAdLayout& l = layoutFor(currentDeviceVariant());
    double w = AdOverlay::applicationFrame().width();
    // A second list replaces the first overlay, never stacks another on it.
    if (_overlay)
        _overlay->rootView()->removeFromSuperview();
    _overlay = AdOverlay::create(l.card);
    std::weak_ptr<BigAd> weak = std::static_pointer_cast<BigAd>(shared_from_this());
    _overlay->setOnMaskTap([weak] {
        if (auto self = weak.lock())
            self->hideAd();
    });
    auto card = _overlay->cardView();
    double cw = l.card.width, ch = l.card.height;

    auto background = ImageView::create({0, 0, cw, ch});
    background->setImage(Gobals::imageWithFileName(l.cardImage));
    card->addSubview(background);

    auto close = Button::create(l.close);
    close->setImage(Gobals::imageWithFileName(l.closeImage), ControlState::Normal);
    close->addAction(ControlEvent::TouchUpInside, [weak] {
        if (auto self = weak.lock())
            self->hideAd();
    });
    card->addSubview(close);
    _overlay->setCloseButton(close);

    _bigImageView = WebImageView::create(centredRect(l.picture, cw / 2, ch / 2 - l.pictureLift));
    card->addSubview(_bigImageView);

    _bigTitle = Label::create(centredRect(l.title, l.titleOnCardMiddle ? cw / 2 : w / 2, l.titleY));
    _bigTitle->setFont(Font::boldSystemFont(l.titleFont));
    _bigTitle->setTextColor(Color::whiteColor());
    _bigTitle->setTextAlignment(TextAlignment::Center);
    _bigTitle->setBackgroundColor(Color::clearColor());
    card->addSubview(_bigTitle);

    _bigDetail = Label::create(centredRect(l.detail, cw / 2, l.detailY));
    _bigDetail->setFont(Font::systemFont(l.detailFont));
    _bigDetail->setTextColor(Color::whiteColor());
    _bigDetail->setTextAlignment(TextAlignment::Center);
    _bigDetail->setBackgroundColor(Color::clearColor());
    _bigDetail->setNumberOfLines(0);
    _bigDetail->setLineBreakMode(LineBreakMode::WordWrap);
    card->addSubview(_bigDetail);

    auto get = Button::create(centredRect(l.get, cw / 2, l.getY));
    get->setImage(Gobals::imageWithFileName("ad-get"), ControlState::Normal);
    get->addAction(ControlEvent::TouchUpInside, [weak] {
        if (auto self = weak.lock())
            self->downloadApp();
    });
    card->addSubview(get);
    _overlay->setGetButton(get);
}

void BigAd::initUIContent()
{
    _bigTitle->setText(shownText(text(_dict, "bigads.title")));
    _bigDetail->setText(shownText(text(_dict, "bigads.content")));
    const char* key = "bigads.iphone_4_ad_link";
    switch (currentDeviceVariant()) {
    case DeviceVariant::Tablet: key = "bigads.ipad_ad_link"; break;
    case DeviceVariant::TallPhone: key = "bigads.iphone_5_ad_link"; break;
    case DeviceVariant::Phone: break;
    }
    // Without a picture link there is nothing to fetch ("(null)" is no file).
    auto relative = text(_dict, key);
    if (!relative)
        return;
    _bigImageView->setLink(Gobals::fillURLPath(text(_dict, "base.base_url"), relative));
    _bigImageView->startDownloading();
}

void BigAd::showAd()
{
    auto scheme = _dict ? findKeyPath(*_dict, "bigads.scheme") : nullptr;
    if (AppDetector().isInstalledAppHWithScheme(stringValueOf(scheme))) {
        auto appId = _dict ? identifierValueOf(findKeyPath(*_dict, "bigads.app_id")) : std::nullopt;
        Reportor::instance()->reportInstalledApps(appId ? std::vector<std::string>{*appId} : std::vector<std::string>{});
        if (!_allowAdStatus) {
            log("big ads[scheme {}], 已安装，内部弹出方式，不显示该广告", describe(scheme));
            return;
        }
    }
    log("big ads show");
    if (_overlay)
        _overlay->dropIn(AdOverlay::rootMiddleY());
    if (auto d = delegate())
        d->adDidShowed(*this);
    Reportor::instance()->reportDisplay(_adType, _dict ? identifierValueOf(findKeyPath(*_dict, "bigads.id")) : std::nullopt);
}

void BigAd::hideAd()
{
    if (_overlay)
        _overlay->flyOut();
    if (auto d = delegate())
        d->adDidHided(*this);
}

void BigAd::downloadApp()
{
    const PlistValue* section = _dict ? findKeyPath(*_dict, "bigads") : nullptr;
    auto field = [section](std::string_view key) -> const PlistValue* {
        return section ? findKeyPath(*section, key) : nullptr;
    };
    auto appId = identifierValueOf(field("app_id"));
    if (_linkHandler)
        _linkHandler->handleLink(stringValueOf(field("target_lnk")), appId);
    Reportor::instance()->reportClick(_adType, identifierValueOf(field("id")), appId);
}

} // namespace vq
