#pragma once

namespace vq {

// Which layout and artwork set a screen uses (editor, options panel, promotion ads).
enum class DeviceVariant { Phone, TallPhone, Tablet };

// Tablet when the model name contains "ipad" in any case or there is no model
// name; tall phone when the main screen's mode is 1136 pixels high; else phone.
DeviceVariant currentDeviceVariant();
bool isTablet();
bool isTallPhone();

} // namespace vq
