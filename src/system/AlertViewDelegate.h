#pragma once

namespace vq {

class AlertView;

// Told which button of an alert was tapped. Both operations are optional.
class AlertViewDelegate {
public:
    virtual ~AlertViewDelegate() = default;
    virtual void alertViewClickedButtonAtIndex(AlertView&, int) {}
    virtual void alertViewDidDismissWithButtonIndex(AlertView&, int) {}
};

} // namespace vq
