#include "system/DeviceVariant.h"

#include "graphics/Screen.h"
#include "system/Device.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace vq {

namespace {

bool containsIgnoringCase(const std::string& text, const std::string& needle)
{
    auto it = std::search(text.begin(), text.end(), needle.begin(), needle.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
    return it != text.end();
}

} // namespace

bool isTablet()
{
    // A device that does not name itself is treated as the larger layout.
    auto model = Device::current().model();
    return !model || containsIgnoringCase(*model, "ipad");
}

bool isTallPhone()
{
    return !isTablet() && Screen::main().currentMode().height == 1136;
}

DeviceVariant currentDeviceVariant()
{
    if (isTablet())
        return DeviceVariant::Tablet;
    if (isTallPhone())
        return DeviceVariant::TallPhone;
    return DeviceVariant::Phone;
}

} // namespace vq
