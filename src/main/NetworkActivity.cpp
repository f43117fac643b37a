#include "main/NetworkActivity.h"

#include "adnetwork/BannerView.h"
#include "core/EventHub.h"
#include "core/RunLoop.h"
#include "core/Sanitizers.h"
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
    if (kSanitizedBuild) {
        // The sanitizers report at a normal exit; first let a load still under way finish,
        // or its TLS library's exit handlers run while it is still initialising.
        if (curlLibraryLoading())
            curlLibrary();
        return status;
    }
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::_Exit(status);
}

} // namespace vq
