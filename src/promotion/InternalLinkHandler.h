#pragma once

#include "net/UrlConnection.h"
#include "promotion/LinkHandlerDelegate.h"
#include "promotion/LinkHandling.h"
#include "system/StoreProductPage.h"

#include <memory>
#include <optional>
#include <string>

namespace vq {

// The presenters' link handler: shows the store page for an app at once,
// tells its delegate, and visits the link in the background.
class InternalLinkHandler final : public StoreProductPageDelegate,
                                  public UrlConnectionDelegate,
                                  public std::enable_shared_from_this<InternalLinkHandler> {
public:
    static std::shared_ptr<InternalLinkHandler> create();

    void handleLink(const std::optional<std::string>& link, const std::optional<std::string>& appleId);
    static std::optional<std::string> getIDFromString(const std::optional<std::string>& text);
    void openURL(const std::optional<std::string>& escaped) { links::openURL(escaped); }
    void presentAppStoreWithAppId(const std::string& appId);

    void productViewControllerDidFinish(StoreProductPage& page) override;
    bool willSendRequest(UrlConnection& connection, const std::string& url) override;

    // Not retained.
    void setDelegate(std::weak_ptr<LinkHandlerDelegate> delegate) { _delegate = std::move(delegate); }
    std::shared_ptr<LinkHandlerDelegate> delegate() const { return _delegate.lock(); }

    InternalLinkHandler() = default;

private:
    std::weak_ptr<LinkHandlerDelegate> _delegate;
    links::StorePages _pages;
};

} // namespace vq
