#pragma once

#include "adnetwork/AdRequest.h"
#include "adnetwork/BannerViewDelegate.h"
#include "graphics/Image.h"
#include "graphics/PictureLoader.h"
#include "ui/View.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vq {

class HttpRequest;
class ImageView;
class Timer;
class ViewController;

enum class AdSize { SmartBannerPortrait };

// Published on the event hub as a banner load goes: "requested" when it goes
// out, then "received" or "failed". A load that is replaced or whose view goes
// away ends without a word.
struct BannerEvent {
    std::string state;
    std::string unit;
};

// One banner slot of the ad network. A load with a unit key fetches a picture
// from the ad server (GET <server>/banner?unit=KEY&w=W&h=H&test=0|1) and shows
// it across the view; the reply's "X-Banner-Link" header is where a tap goes.
// Once a load has ended, shown or failed, the banner reloads every
// refreshInterval seconds on the run loop's clock, so a key whose first load
// failed is tried again. Failures are logged and otherwise silent. Main thread only.
class BannerView : public View {
public:
    static constexpr double refreshInterval = 60;
    // Replies past these are refused rather than decoded: a banner is a small
    // picture, so 4 MB; its sides and pixels as the promotion pictures'.
    static constexpr std::size_t maxPictureBytes = std::size_t{4} << 20;
    static constexpr int maxPictureSide = Image::kMaxFetchedSide;
    static constexpr std::int64_t maxPicturePixels = Image::kMaxFetchedPixels;

    // Full screen width; 50 points high on phones, 90 on tablets.
    static std::shared_ptr<BannerView> create(AdSize size);
    static Size sizeFor(AdSize size);

    // The ad server's base URL, set at launch; nullopt: the build's promotion server.
    static void setAdServer(std::optional<std::string> base);
    static std::string adServer();
    // How test-device lists name this device: the MD5 text of its advertising identifier.
    static std::string deviceIdentifier();

    ~BannerView() override;
    const char* className() const override { return "BannerView"; }

    std::shared_ptr<BannerViewDelegate> delegate() const { return _delegate.lock(); }
    void setDelegate(std::weak_ptr<BannerViewDelegate> delegate) { _delegate = std::move(delegate); }
    // The controller that would present the ad's full-screen content.
    std::shared_ptr<ViewController> rootViewController() const { return _rootViewController.lock(); }
    void setRootViewController(std::weak_ptr<ViewController> controller) { _rootViewController = std::move(controller); }

    const std::optional<std::string>& adUnitID() const { return _adUnitID; }
    void setAdUnitID(std::optional<std::string> key) { _adUnitID = std::move(key); }

    // Loads an ad for the current key, replacing a load in flight. Without a
    // usable key (none, empty or "none") nothing is fetched.
    void loadRequest(const AdRequest& request);
    std::size_t loadCount() const { return _loadCount; }
    const std::optional<AdRequest>& lastRequest() const { return _lastRequest; }
    // The unit key each loadRequest call came with, in order.
    const std::vector<std::optional<std::string>>& requestedUnitIDs() const { return _requestedUnitIDs; }

    // The banner on show (nullptr before the first) and where a tap on it goes.
    std::shared_ptr<Image> image() const;
    const std::optional<std::string>& clickURL() const { return _clickURL; }
    // From the request until the picture is decoded or the load has failed.
    bool isLoading() const { return _loading != nullptr || _decoding != nullptr; }
    // Runs once the first load has ended, whether it showed a banner or failed.
    std::shared_ptr<Timer> refreshTimer() const { return _refreshTimer; }
    // Opens the click link, when the shown banner has one.
    void openClickURL();

protected:
    explicit BannerView(Rect frame);

private:
    class Loader;
    void start(const std::string& unit, const AdRequest& request);
    void loaded(const HttpRequest& request, const std::string& unit);
    void loadFailed(const std::string& unit, const std::string& why);
    void show(std::shared_ptr<Image> picture, const std::optional<std::string>& link, const std::string& unit);
    void scheduleRefresh();

    std::weak_ptr<BannerViewDelegate> _delegate;
    std::weak_ptr<ViewController> _rootViewController;
    std::optional<std::string> _adUnitID;
    std::size_t _loadCount = 0;
    std::optional<AdRequest> _lastRequest;
    std::vector<std::optional<std::string>> _requestedUnitIDs;

    std::shared_ptr<ImageView> _picture;
    std::optional<std::string> _clickURL;
    std::shared_ptr<Loader> _loader;
    std::shared_ptr<HttpRequest> _loading;
    std::shared_ptr<PictureLoader::Ticket> _decoding;
    std::shared_ptr<Timer> _refreshTimer;
};

} // namespace vq
