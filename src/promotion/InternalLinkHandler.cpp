#include "promotion/InternalLinkHandler.h"

#include "core/Log.h"
#include "promotion/Gobals.h"

#include <BuildSettings.h>

namespace vq {

std::shared_ptr<InternalLinkHandler> InternalLinkHandler::create() { return std::make_shared<InternalLinkHandler>(); }

std::optional<std::string> InternalLinkHandler::getIDFromString(const std::optional<std::string>& text)
{
    return links::getIDFromString(text, build::kStoreWebHost);
}

void InternalLinkHandler::handleLink(const std::optional<std::string>& link, const std::optional<std::string>& appleId)
{
    auto escaped = link ? Gobals::encodeURL(*link) : std::nullopt;
    log("handle internal link {}, apple id {}", link.value_or("(null)"), appleId.value_or("(null)"));
    if (!StoreProductPage::isAvailable() || !appleId || appleId->empty()) {
        openURL(escaped);
        return;
    }
    if (auto d = delegate())
        d->internalAppStoreWillAppear();
    presentAppStoreWithAppId(*appleId);
    // The visit counts the click on the server's side; its reply is not used.
    if (escaped)
        UrlConnection::start(*escaped, weak_from_this());
}

void InternalLinkHandler::presentAppStoreWithAppId(const std::string& appId) { _pages.present(appId, weak_from_this()); }

void InternalLinkHandler::productViewControllerDidFinish(StoreProductPage& page)
{
    std::weak_ptr<InternalLinkHandler> weak = weak_from_this();
    _pages.finish(page, [weak] {
        auto self = weak.lock();
        if (!self)
            return;
        if (auto d = self->delegate())
            d->internalAppStoreWillDisappear();
    });
}

bool InternalLinkHandler::willSendRequest(UrlConnection&, const std::string& url)
{
    log("request url {}", url);
    return true;
}

} // namespace vq
