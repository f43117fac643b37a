#include "promotion/ads/AlertAd.h"

#include "core/Log.h"
#include "core/PropertyListValues.h"
#include "promotion/InternalLinkHandler.h"
#include "promotion/Reportor.h"
#include "promotion/ShownText.h"
#include "system/AlertView.h"

namespace vq {

namespace {
std::optional<std::string> text(const std::shared_ptr<const PlistValue>& dict, std::string_view path)
{
    return dict ? stringValueOf(findKeyPath(*dict, path)) : std::nullopt;
}
} // namespace

std::shared_ptr<AlertAd> AlertAd::create() { return std::make_shared<AlertAd>(); }

void AlertAd::setContentInfo(std::shared_ptr<const PlistValue> dict)
{
    if (!dict)
        return;
    _dict = std::move(dict);
    initUI();
}

void AlertAd::initUI()
{
    std::vector<std::string> others;
    if (auto ok = text(_dict, "alert.ok"))
        others.push_back(shownText(ok));
    auto self = std::static_pointer_cast<AlertAd>(shared_from_this());
    _alertView = AlertView::create(shownText(text(_dict, "alert.title")), shownText(text(_dict, "alert.content")),
                                   std::weak_ptr<AlertViewDelegate>(self), shownText(text(_dict, "alert.cancel")),
                                   std::move(others));
}

void AlertAd::showAd()
{
    auto keep = shared_from_this();
    log("alert ad show");
    if (_alertView && !_alertView->isVisible())
        _alertView->show();
    if (auto d = delegate())
        d->adDidShowed(*this);
    Reportor::instance()->reportDisplay("alert", _dict ? identifierValueOf(findKeyPath(*_dict, "alert.id")) : std::nullopt);
}

void AlertAd::hideAd()
{
    // The delegate may drop its last reference to this ad.
    auto keep = shared_from_this();
    log("alert ad hide");
    if (_alertView && _alertView->isVisible())
        _alertView->dismissWithClickedButtonIndex(_alertView->cancelButtonIndex(), false);
    if (auto d = delegate())
        d->adDidHided(*this);
}

void AlertAd::alertViewClickedButtonAtIndex(AlertView& alert, int index)
{
    auto keep = shared_from_this();
    if (index != alert.cancelButtonIndex()) {
        if (_linkHandler)
            _linkHandler->handleLink(text(_dict, "alert.link"), std::nullopt);
        Reportor::instance()->reportClick("alert", _dict ? identifierValueOf(findKeyPath(*_dict, "alert.id")) : std::nullopt, std::nullopt);
    }
    if (auto d = delegate())
        d->adDidHided(*this);
}

} // namespace vq
