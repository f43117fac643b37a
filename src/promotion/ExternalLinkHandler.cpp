#include "promotion/ExternalLinkHandler.h"

#include "core/Log.h"
#include "core/Url.h"
#include "promotion/Gobals.h"

#include <BuildSettings.h>

namespace vq {

std::shared_ptr<ExternalLinkHandler> ExternalLinkHandler::create() { return std::make_shared<ExternalLinkHandler>(); }

std::optional<std::string> ExternalLinkHandler::getIDFromString(const std::optional<std::string>& text)
{
    return links::getIDFromString(text, build::kStoreWebHost);
}

void ExternalLinkHandler::handleLink(const std::optional<std::string>& link)
{
    if (!link)
        return;
    auto escaped = Gobals::encodeURL(*link);
    if (link->starts_with("http://") || link->starts_with("https://")) {
        if (escaped)
            UrlConnection::start(*escaped, weak_from_this());
        return;
    }
    openURL(escaped);
}

void ExternalLinkHandler::handleLink(const std::optional<std::string>& link, const std::optional<std::string>& appleId)
{
    openStoreLink(link, link ? Gobals::encodeURL(*link) : std::nullopt, appleId);
}

void ExternalLinkHandler::openStoreLink(const std::optional<std::string>& link, const std::optional<std::string>& escaped,
                                        const std::optional<std::string>& appleId)
{
    log("handle external link {}, apple id {}", link.value_or("(null)"), appleId.value_or("(null)"));
    if (StoreProductPage::isAvailable() && appleId && !appleId->empty()) {
        if (!Gobals::isAppStoreDisplaying())
            presentAppStoreWithAppId(*appleId);
        return;
    }
    openURL(escaped);
}

void ExternalLinkHandler::presentAppStoreWithAppId(const std::string& appId) { _pages.present(appId, weak_from_this()); }

void ExternalLinkHandler::productViewControllerDidFinish(StoreProductPage& page) { _pages.finish(page, {}); }

bool ExternalLinkHandler::willSendRequest(UrlConnection& connection, const std::string& url)
{
    _lastRequestURL = url;
    auto parsed = Url::parse(url);
    std::string_view storeHost = build::kStoreWebHost;
    // By suffix and case-sensitive, as the store's own links are written.
    if (parsed && parsed->host() && parsed->host()->ends_with(storeHost)) {
        _iTunesURL = url;
        connectionDidFinishLoading(connection);
        return false;
    }
    return true;
}

void ExternalLinkHandler::connectionDidFinishLoading(UrlConnection&)
{
    if (_iTunesURL) {
        auto text = *_iTunesURL;
        openStoreLink(text, text, getIDFromString(text));
        _iTunesURL.reset();
        return;
    }
    openURL(_lastRequestURL);
}

} // namespace vq
