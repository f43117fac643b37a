#pragma once

namespace vq {

class BannerView;

// What a banner tells its owner. Every operation is optional.
class BannerViewDelegate {
public:
    virtual ~BannerViewDelegate() = default;
    // A banner has loaded; its frame is final by now.
    virtual void adViewDidReceiveAd(BannerView&) {}
};

} // namespace vq
