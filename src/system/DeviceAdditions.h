#pragma once

#include "system/Device.h"

#include <optional>
#include <string>
#include <string_view>

namespace vq {

// What the promotion client asks of the current device beyond its profile:
// the "en0" address, identifiers made from it, and the hardware model
// classified into a type and a display name.

// "%02X:%02X:%02X:%02X:%02X:%02X" of en0's link-level address; on failure
// the reason is printed on standard output and the result is nothing.
std::optional<std::string> macaddress(const Device& device = Device::current());
// MD5 text of the address text.
std::optional<std::string> uniqueGlobalDeviceIdentifier(const Device& device = Device::current());
// MD5 text of the address text followed by the bundle identifier.
std::optional<std::string> uniqueDeviceIdentifier(const Device& device = Device::current());

// A named system value; "hw.machine" is the hardware model string.
std::optional<std::string> getSysInfoByName(std::string_view name, const Device& device = Device::current());
std::string platform(const Device& device = Device::current());

// The hardware model's type number and display string ("iPhone 4S", ...).
// The simulator's phone or tablet kind follows the main screen's width.
int platformType(const Device& device = Device::current());
std::string platformString(const Device& device = Device::current());

// The classification itself.
int platformTypeForModel(std::string_view hardwareModel, std::optional<double> mainScreenWidth);
std::string platformStringForType(int type);

} // namespace vq
