#include "system/Device.h"

#include "core/Log.h"
#include "core/Paths.h"
#include "graphics/Screen.h"

#include <uuid/uuid.h>

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstdlib>
#include <ctime>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <map>
#include <net/if.h>
#include <string_view>
#include <sys/socket.h>
#include <vector>

namespace vq {

namespace {

const DeviceProfileInfo kProfiles[] = {
    {"phone", {320, 480}, 2, {640, 960}, "iPhone", "iPhone4,1"},
    {"tall", {320, 568}, 2, {640, 1136}, "iPhone", "iPhone5,2"},
    {"tablet", {768, 1024}, 2, {1536, 2048}, "iPad", "iPad3,4"},
};

bool validUuid(const std::string& s)
{
    uuid_t u;
    return s.size() == 36 && uuid_parse(s.c_str(), u) == 0;
}

} // namespace

const DeviceProfileInfo& profileInfo(DeviceProfile profile) { return kProfiles[static_cast<int>(profile)]; }

std::optional<DeviceProfile> parseDeviceProfile(const std::string& name)
{
    for (int i = 0; i < 3; ++i)
        if (name == kProfiles[i].name)
            return static_cast<DeviceProfile>(i);
    return std::nullopt;
}

Device::Device() { reset(); }

Device& Device::current()
{
    static Device device;
    return device;
}

void Device::reset()
{
    _systemVersion = "7.0";
    _secondsFromGMT.reset();
    _addressOverridden = false;
    _addressOverride.reset();
    _advertisingIdentifier.clear();
    setProfile(DeviceProfile::Phone);
}

void Device::setProfile(DeviceProfile profile)
{
    _profile = profile;
    _model = info().model;
    _hardwareModel = info().hardwareModel;
    Screen::main().setMode(info().screenSize, info().scale, info().currentMode);
}

int Device::secondsFromGMT() const
{
    if (_secondsFromGMT)
        return *_secondsFromGMT;
    // Re-read TZ each time: localtime_r alone keeps the zone it first saw.
    tzset();
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return static_cast<int>(local.tm_gmtoff);
}

std::string Device::localeIdentifier() const
{
    // POSIX locale names look like en_US.UTF-8; the identifier is the part before the dot.
    const char* vars[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    for (const char* v : vars) {
        const char* value = std::getenv(v);
        if (!value || !*value)
            continue;
        std::string s = value;
        s = s.substr(0, s.find_first_of(".@"));
        if (s == "C" || s == "POSIX")
            break;
        return s;
    }
    return "en_US";
}

std::optional<std::array<std::uint8_t, 6>> Device::linkLevelAddress(const std::string& interfaceName) const
{
    if (_addressOverridden)
        return interfaceName == "en0" ? _addressOverride : std::nullopt;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return std::nullopt;
    std::map<std::string, std::array<std::uint8_t, 6>> found;
    for (ifaddrs* a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_PACKET || (a->ifa_flags & IFF_LOOPBACK))
            continue;
        auto* ll = reinterpret_cast<sockaddr_ll*>(a->ifa_addr);
        if (ll->sll_halen != 6)
            continue;
        std::array<std::uint8_t, 6> mac{};
        std::copy_n(ll->sll_addr, 6, mac.begin());
        if (std::all_of(mac.begin(), mac.end(), [](auto b) { return b == 0; }))
            continue;
        found.emplace(a->ifa_name, mac);
    }
    freeifaddrs(list);
    if (auto it = found.find(interfaceName); it != found.end())
        return it->second;
    if (interfaceName == "en0" && !found.empty())
        return found.begin()->second;
    return std::nullopt;
}

void Device::setLinkLevelAddress(std::optional<std::array<std::uint8_t, 6>> address, bool overridden)
{
    _addressOverridden = overridden;
    _addressOverride = address;
}

std::string Device::advertisingIdentifier()
{
    if (!_advertisingIdentifier.empty())
        return _advertisingIdentifier;
    auto path = Paths::dataDir() / "advertising-identifier";
    if (auto stored = readFile(path)) {
        std::string s = *stored;
        while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
            s.pop_back();
        if (validUuid(s)) {
            _advertisingIdentifier = s;
            return s;
        }
    }
    uuid_t u;
    uuid_generate_random(u);
    char text[37];
    uuid_unparse_upper(u, text);
    _advertisingIdentifier = text;
    // An identifier a crash loses is made anew above at the next launch.
    if (!Paths::ensureDirectory(path.parent_path())) {
        if (auto err = writeFileAtomically(path, _advertisingIdentifier + "\n", Durability::Rebuildable))
            log("advertising identifier not kept: {}", *err);
    }
    return _advertisingIdentifier;
}

namespace {

std::vector<std::string_view> versionParts(std::string_view text)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        auto dot = text.find('.', start);
        parts.push_back(text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
        if (dot == std::string_view::npos)
            return parts;
        start = dot + 1;
    }
}

// Digits as a number of any size: leading zeros do not count.
int compareDigits(std::string_view a, std::string_view b)
{
    auto strip = [](std::string_view s) {
        auto first = s.find_first_not_of('0');
        return first == std::string_view::npos ? std::string_view() : s.substr(first);
    };
    a = strip(a);
    b = strip(b);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

} // namespace

bool isSystemVersion(std::string_view text)
{
    auto parts = versionParts(text);
    if (parts.size() > 3)
        return false;
    for (auto part : parts)
        if (part.empty() || part.find_first_not_of("0123456789") != std::string_view::npos)
            return false;
    return true;
}

int compareSystemVersions(std::string_view a, std::string_view b)
{
    auto pa = versionParts(a), pb = versionParts(b);
    for (std::size_t i = 0; i < std::max(pa.size(), pb.size()); ++i) {
        int c = compareDigits(i < pa.size() ? pa[i] : std::string_view(), i < pb.size() ? pb[i] : std::string_view());
        if (c != 0)
            return c;
    }
    return 0;
}

} // namespace vq
