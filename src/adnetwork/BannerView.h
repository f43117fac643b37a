#pragma once

#include "adnetwork/AdRequest.h"
#include "adnetwork/BannerViewDelegate.h"
#include "platform/View.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace vq {

class ViewController;

enum class AdSize { SmartBannerPortrait };

// One banner slot of the ad network. Requests are recorded; delivering ads
// is the network's job and none arrives yet.
class BannerView : public View {
public:
    // Full screen width; 50 points high on phones, 90 on tablet-sized screens.
    static std::shared_ptr<BannerView> create(AdSize size);
    static Size sizeFor(AdSize size);

    const char* className() const override { return "BannerView"; }

    std::shared_ptr<BannerViewDelegate> delegate() const { return _delegate.lock(); }
    void setDelegate(std::weak_ptr<BannerViewDelegate> delegate) { _delegate = std::move(delegate); }
    // The controller that would present the ad's full-screen content.
    std::shared_ptr<ViewController> rootViewController() const { return _rootViewController.lock(); }
    void setRootViewController(std::weak_ptr<ViewController> controller) { _rootViewController = std::move(controller); }

    const std::optional<std::string>& adUnitID() const { return _adUnitID; }
    void setAdUnitID(std::optional<std::string> key) { _adUnitID = std::move(key); }

    void loadRequest(const AdRequest& request);
    std::size_t loadCount() const { return _loadCount; }
    const std::optional<AdRequest>& lastRequest() const { return _lastRequest; }
    // The unit key each request went out with, in order.
    const std::vector<std::optional<std::string>>& requestedUnitIDs() const { return _requestedUnitIDs; }

protected:
    explicit BannerView(Rect frame);

private:
    std::weak_ptr<BannerViewDelegate> _delegate;
    std::weak_ptr<ViewController> _rootViewController;
    std::optional<std::string> _adUnitID;
    std::size_t _loadCount = 0;
    std::optional<AdRequest> _lastRequest;
    std::vector<std::optional<std::string>> _requestedUnitIDs;
};

} // namespace vq
