#include "system/DeviceAdditions.h"

#include "core/Bundle.h"
#include "core/StringAdditions.h"
#include "graphics/Screen.h"

#include <fmt/format.h>

#include <cstdio>

namespace vq {

namespace {

struct ModelRule {
    bool exact;
    const char* text;
    int type;
};

// First match wins; the first phones are known only by their exact names.
constexpr ModelRule kRules[] = {
    {true, "iFPGA", 27},      {true, "iPhone1,1", 5},  {true, "iPhone1,2", 6},  {false, "iPhone2", 7},
    {false, "iPhone3", 8},    {false, "iPhone4", 9},   {false, "iPhone5", 10},  {false, "iPod1", 11},
    {false, "iPod2", 12},     {false, "iPod3", 13},    {false, "iPod4", 14},    {false, "iPod5", 15},
    {false, "iPad1", 16},     {false, "iPad2", 17},    {false, "iPad3", 18},    {false, "iPad4", 19},
    {false, "AppleTV2", 20},  {false, "AppleTV3", 21}, {false, "iPhone", 23},   {false, "iPod", 24},
    {false, "iPad", 25},      {false, "AppleTV", 26},
};

} // namespace

std::optional<std::string> macaddress(const Device& device)
{
    auto address = device.linkLevelAddress("en0");
    if (!address) {
        std::fputs("Error: if_nametoindex error\n", stdout);
        std::fflush(stdout);
        return std::nullopt;
    }
    const auto& a = *address;
    return fmt::format("{:02X}:{:02X}:{:02X}:{:02X}:{:02X}:{:02X}", a[0], a[1], a[2], a[3], a[4], a[5]);
}

std::optional<std::string> uniqueGlobalDeviceIdentifier(const Device& device)
{
    auto mac = macaddress(device);
    return mac ? stringFromMD5(*mac) : std::nullopt;
}

std::optional<std::string> uniqueDeviceIdentifier(const Device& device)
{
    auto mac = macaddress(device);
    return mac ? stringFromMD5(*mac + Bundle::main().identifier) : std::nullopt;
}

std::optional<std::string> getSysInfoByName(std::string_view name, const Device& device)
{
    if (name == "hw.machine")
        return device.hardwareModel();
    return std::nullopt;
}

std::string platform(const Device& device) { return getSysInfoByName("hw.machine", device).value_or(""); }

int platformTypeForModel(std::string_view model, std::optional<double> mainScreenWidth)
{
    for (const auto& rule : kRules) {
        if (rule.exact ? model == rule.text : model.starts_with(rule.text))
            return rule.type;
    }
    if (model.ends_with("86") || model == "x86_64")
        return !mainScreenWidth || *mainScreenWidth < 768 ? 2 : 3;
    return 0;
}

std::string platformStringForType(int type)
{
    switch (type) {
    case 27: return "iFPGA";
    case 5: return "iPhone 1G";
    case 6: return "iPhone 3G";
    case 7: return "iPhone 3GS";
    case 8: return "iPhone 4";
    case 9: return "iPhone 4S";
    case 10: return "iPhone 5";
    case 11: return "iPod touch 1G";
    case 12: return "iPod touch 2G";
    case 13: return "iPod touch 3G";
    case 14: return "iPod touch 4G";
    case 15: return "iPod touch 5G";
    case 16: return "iPad 1G";
    case 17: return "iPad 2G";
    case 18: return "iPad 3G";
    case 19: return "iPad 4G";
    case 20: return "Apple TV 2G";
    case 21: return "Apple TV 3G";
    case 23: return "Unknown iPhone";
    case 24: return "Unknown iPod";
    case 25: return "Unknown iPad";
    case 26: return "Unknown Apple TV";
    case 2: return "iPhone Simulator";
    case 3: return "iPad Simulator";
    default: return "Unknown iOS device";
    }
}

int platformType(const Device& device)
{
    return platformTypeForModel(platform(device), Screen::main().bounds().size.width);
}

std::string platformString(const Device& device) { return platformStringForType(platformType(device)); }

} // namespace vq
