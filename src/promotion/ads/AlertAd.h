#pragma once

#include "promotion/ads/Ad.h"
#include "system/AlertViewDelegate.h"

#include <memory>

namespace vq {

class AlertView;

// The promotion ad as a system alert: "alert.title", "alert.content", a
// cancel button and one accepting button that opens "alert.link".
class AlertAd final : public Ad, public AlertViewDelegate {
public:
    static std::shared_ptr<AlertAd> create();

    void showAd() override;
    void hideAd() override;
    void setContentInfo(std::shared_ptr<const PlistValue> dict) override;

    void alertViewClickedButtonAtIndex(AlertView& alert, int index) override;

    const std::shared_ptr<AlertView>& alertView() const { return _alertView; }

    AlertAd() = default;

private:
    void initUI();

    std::shared_ptr<AlertView> _alertView;
};

} // namespace vq
