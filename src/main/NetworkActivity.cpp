#include "main/NetworkActivity.h"

#include "adnetwork/BannerView.h"
#include "core/EventHub.h"
#include "core/RunLoop.h"
#include "graphics/PictureLoader.h"
#include "net/CurlLibrary.h"
#include "net/HttpRequest.h"
#include "net/NetworkSwitch.h"
#include "net/RequestObserver.h"
#include "net/RunQueue.h"
#include "net/UrlConnection.h"
#include "promotion/ServerSettings.h"
#include "promotion/StoreConnection.h"
#include "system/Application.h"
#include "system/StoreProductPage.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace vq {

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

} // namespace

bool networkBusy()
{
    auto& queue = RunQueue::shared();
    // A picture that has arrived is not on screen until it is decoded.
    return queue.runningCount() + queue.waitingCount() + UrlConnection::runningCount() +
               StoreProductPage::loadingCount() + PictureLoader::pendingCount() >
           0;
}

void connectNetwork(const LaunchOptions& options)
{
    setNetworkEnabled(options.network);
    // The app delegate sets it too; store pages and any request before it need it already.
    HttpRequest::setDefaultExecutor([](std::function<void()> task) { RunLoop::main().post(std::move(task)); });
    setRequestObserver([](const RequestEnded& ended) { EventHub::shared().publish(ended); });
    setPromotionServerBase(options.server);
    connectStorePages(options.store.value_or(promotionServerBase()));
    BannerView::setAdServer(options.adServer.value_or(promotionServerBase()));
    Application::shared().setRemoteNotificationFailure(
        options.push == PushBehaviour::Fail ? std::optional<std::string>("Remote notifications are not available")
                                            : std::nullopt);
}

int endProcess(int status)
{
    if (kSanitized || !curlLibraryLoading())
        return status;
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::_Exit(status);
}

} // namespace vq
