#pragma once

#include "core/PropertyList.h"

#include <memory>
#include <string>

namespace vq {

class Ad;
class InternalLinkHandler;

// Told when a presenter starts to show or hide itself. Both optional.
class AdDelegate {
public:
    virtual ~AdDelegate() = default;
    virtual void adDidShowed(Ad&) {}
    virtual void adDidHided(Ad&) {}
};

// What every promotion ad presenter offers its owner.
class Ad : public std::enable_shared_from_this<Ad> {
public:
    virtual ~Ad() = default;

    void setAdType(std::string type) { _adType = std::move(type); }
    const std::string& adType() const { return _adType; }

    virtual void showAd() = 0;
    // Harmless on an ad that is not on screen.
    virtual void hideAd() = 0;
    // The whole promotion list; builds the views at once. Nothing for no list.
    virtual void setContentInfo(std::shared_ptr<const PlistValue> dict) = 0;

    void setLinkHandler(std::shared_ptr<InternalLinkHandler> handler) { _linkHandler = std::move(handler); }
    const std::shared_ptr<InternalLinkHandler>& linkHandler() const { return _linkHandler; }
    // Not retained.
    void setDelegate(std::weak_ptr<AdDelegate> delegate) { _delegate = std::move(delegate); }
    std::shared_ptr<AdDelegate> delegate() const { return _delegate.lock(); }
    const std::shared_ptr<const PlistValue>& dict() const { return _dict; }

    // Optional; no presenter takes it yet.
    virtual bool respondsToSetAllowAdStatus() const { return false; }
    virtual void setAllowAdStatus(bool) {}

protected:
    std::string _adType;
    std::shared_ptr<InternalLinkHandler> _linkHandler;
    std::weak_ptr<AdDelegate> _delegate;
    std::shared_ptr<const PlistValue> _dict;
};

} // namespace vq
