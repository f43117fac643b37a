#include "platform/Device.h"

#include "platform/Log.h"
#include "platform/Paths.h"

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
#include <sys/socket.h>

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
    if (!Paths::ensureDirectory(path.parent_path())) {
        if (auto err = writeFileAtomically(path, _advertisingIdentifier + "\n"))
            log("advertising identifier not kept: {}", *err);
    }
    return _advertisingIdentifier;
}

} // namespace vq
