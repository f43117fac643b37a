#pragma once

#include "core/PropertyList.h"
#include "net/HttpRequestDelegate.h"
#include "promotion/ads/Ad.h"
#include "promotion/LinkHandlerDelegate.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vq {

class ActivityIndicator;
class ExternalLinkHandler;
class HttpRequest;
class InternalLinkHandler;

// The promotion client's single entry object, created once at launch with
// the host app's store identifier: keeps the promotion list fresh, decides
// on each refresh which ad to show, registers for push when asked and
// answers the banner slot.
class PromotionUnit final : public HttpRequestDelegate,
                            public AdDelegate,
                            public LinkHandlerDelegate,
                            public std::enable_shared_from_this<PromotionUnit> {
public:
    // The list fetched in the background arrives whole within this, as the blocking fetch must.
    static constexpr double kListDeadlineSeconds = 10;

    // Creates the instance on the first call; later calls keep the first id.
    static std::shared_ptr<PromotionUnit> defaultInstance(const std::string& appId);
    // nullptr before the first defaultInstance.
    static std::shared_ptr<PromotionUnit> currentInstance();
    // Forgets the instance (between tests).
    static void resetForTests();

    const std::string& appId() const { return _appId; }
    void setAppId(std::string appId) { _appId = std::move(appId); }

    // Each time the host app becomes active: an asynchronous fetch, then reload.
    void becomeActived();
    // The scheduling rule, after every successful reply.
    void reload();

    // The info request's URL, escaped; nothing (logged) when it cannot be.
    std::optional<std::string> promotionURL() const;
    void doPromotionListRequestAsync();
    // Blocks the main thread for the load; nothing on any failure.
    std::shared_ptr<const PlistValue> doPromotionListRequestSync();
    bool checkStatus();

    std::shared_ptr<const PlistValue> promotionList() const;
    void setPromotionList(std::shared_ptr<const PlistValue> list);
    const std::shared_ptr<HttpRequest>& request() const { return _request; }

    // Fetch synchronously and show an ad of that type (2 is the wall).
    void showAdWithType(int type);
    // The same with the type the fetched list names.
    void showCurrentTypeAd();
    void showIndicator();

    // The banner slot's unit key: nothing while none is usable.
    std::optional<std::string> bannerKey();

    void handleLink(const std::optional<std::string>& link);

    bool isApns() const;
    void registDevice();
    // Records the registration; returns the token as groups of eight hex digits joined by "-".
    std::string registDeviceSucess(const std::vector<std::uint8_t>& token);
    bool isRegistDeviceSuccess() const { return _isRegistDeviceSuccess; }

    void noticeShowKeyboard() { _isKeyboardVisible = true; }
    void noticeHideKeyboard() { _isKeyboardVisible = false; }
    bool isKeyboardVisible() const { return _isKeyboardVisible; }

    void requestFinished(const std::shared_ptr<HttpRequest>& request) override;
    void requestFailed(const std::shared_ptr<HttpRequest>& request) override;
    void adDidShowed(Ad& ad) override;
    void adDidHided(Ad& ad) override;
    void internalAppStoreWillAppear() override;
    void internalAppStoreWillDisappear() override;

    // For tests and scripts: the current ad, the forced alert and the rest of the state.
    const std::shared_ptr<Ad>& lastAd() const { return _lastAd; }
    const std::shared_ptr<Ad>& alertAd() const { return _alertAd; }
    int displayTime() const { return _displayTime; }
    bool hasAdsShowed() const { return _hasAdsShowed; }
    const std::shared_ptr<ActivityIndicator>& loadingView() const { return _loadingView; }
    const std::shared_ptr<InternalLinkHandler>& internalLinkHandler() const { return _internalLinkHandler; }
    const std::shared_ptr<ExternalLinkHandler>& externalLinkHandler() const { return _externalLinkHandler; }

    static constexpr const char* kBannerKeyDefaultsKey = "banner_key";

    struct Token {};
    PromotionUnit(Token, std::string appId);
    ~PromotionUnit() override;

private:
    void initWithAppId();
    void present(const std::shared_ptr<Ad>& ad, const std::shared_ptr<const PlistValue>& list);
    void showAdOnRequest(std::optional<int> type, bool logList);
    void hideIndicator();

    std::shared_ptr<InternalLinkHandler> _internalLinkHandler;
    std::shared_ptr<ExternalLinkHandler> _externalLinkHandler;
    std::shared_ptr<Ad> _lastAd;
    std::shared_ptr<Ad> _alertAd;
    std::int32_t _displayTime = 0;
    bool _isRegistDeviceSuccess = false;
    bool _hasAdsShowed = false;
    std::shared_ptr<ActivityIndicator> _loadingView;
    bool _isKeyboardVisible = false;
    std::string _appId;
    mutable std::mutex _listMutex;
    std::shared_ptr<const PlistValue> _promotionList;
    std::shared_ptr<HttpRequest> _request;
};

} // namespace vq
