#pragma once

namespace vq {

// Which layout and artwork set the options panel and the editor use.
enum class DeviceVariant { Phone, TallPhone, Tablet };

// Tablet when the model name contains "ipad" in any case or there is no model
// name; tall phone when the main screen's mode is 1136 pixels high; else phone.
DeviceVariant currentDeviceVariant();
bool isTablet();
bool isTallPhone();

} // namespace vq
