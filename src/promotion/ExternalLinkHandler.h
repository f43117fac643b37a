#pragma once

#include "net/UrlConnection.h"
#include "promotion/LinkHandling.h"
#include "system/StoreProductPage.h"

#include <memory>
#include <optional>
#include <string>

namespace vq {

// Follows a web link's redirects itself until it reaches the store's web
// host, then shows the store page for the app it names; any other link ends
// in the platform's opener.
class ExternalLinkHandler final : public StoreProductPageDelegate,
                                  public UrlConnectionDelegate,
                                  public std::enable_shared_from_this<ExternalLinkHandler> {
public:
    static std::shared_ptr<ExternalLinkHandler> create();

    void handleLink(const std::optional<std::string>& link);
    void handleLink(const std::optional<std::string>& link, const std::optional<std::string>& appleId);
    static std::optional<std::string> getIDFromString(const std::optional<std::string>& text);
    void openURL(const std::optional<std::string>& escaped) { links::openURL(escaped); }
    void presentAppStoreWithAppId(const std::string& appId);

    void productViewControllerDidFinish(StoreProductPage& page) override;
    bool willSendRequest(UrlConnection& connection, const std::string& url) override;
    void connectionDidFinishLoading(UrlConnection& connection) override;

    const std::optional<std::string>& iTunesURL() const { return _iTunesURL; }
    const std::optional<std::string>& lastRequestURL() const { return _lastRequestURL; }

    ExternalLinkHandler() = default;

private:
    // handleLink(link, appleId) once the link is a URL: the address a visit
    // reached is one already, and escaping it again would corrupt its escapes.
    void openStoreLink(const std::optional<std::string>& link, const std::optional<std::string>& url,
                       const std::optional<std::string>& appleId);

    std::optional<std::string> _iTunesURL;
    std::optional<std::string> _lastRequestURL;
    links::StorePages _pages;
};

} // namespace vq
