#pragma once

#include "core/Geometry.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vq {

enum class DeviceProfile { Phone, Tall, Tablet };

struct DeviceProfileInfo {
    const char* name;             // "phone", "tall", "tablet"
    Size screenSize;              // points
    double scale;
    Size currentMode;             // pixels
    const char* model;            // "iPhone", "iPad"
    const char* hardwareModel;    // the "hw.machine" value
};

const DeviceProfileInfo& profileInfo(DeviceProfile profile);
std::optional<DeviceProfile> parseDeviceProfile(const std::string& name);

// The device the app believes it runs on: one of three profiles, plus a
// system version, the time zone and identifiers taken from this machine.
class Device {
public:
    static Device& current();

    void setProfile(DeviceProfile profile);
    DeviceProfile profile() const { return _profile; }
    const DeviceProfileInfo& info() const { return profileInfo(_profile); }

    // nullopt: the device reports no model name.
    std::optional<std::string> model() const { return _model; }
    void setModel(std::optional<std::string> model) { _model = std::move(model); }
    std::string systemName() const { return "iPhone OS"; }
    const std::string& systemVersion() const { return _systemVersion; }
    void setSystemVersion(std::string version) { _systemVersion = std::move(version); }
    const std::string& hardwareModel() const { return _hardwareModel; }
    void setHardwareModel(std::string hw) { _hardwareModel = std::move(hw); }

    // Offset of the default time zone from GMT, in seconds.
    int secondsFromGMT() const;
    void setSecondsFromGMT(std::optional<int> seconds) { _secondsFromGMT = seconds; }

    // The current locale's identifier, such as "en_US".
    std::string localeIdentifier() const;

    // The link-level address of an interface. "en0" stands for this machine's
    // first real (non-loopback) interface, so the value is stable per machine.
    std::optional<std::array<std::uint8_t, 6>> linkLevelAddress(const std::string& interfaceName) const;
    void setLinkLevelAddress(std::optional<std::array<std::uint8_t, 6>> address, bool overridden = true);

    // A random UUID, kept in the data folder so it survives restarts.
    std::string advertisingIdentifier();

    // Back to the defaults of the phone profile (between tests).
    void reset();

private:
    Device();
    DeviceProfile _profile = DeviceProfile::Phone;
    std::optional<std::string> _model;
    std::string _systemVersion = "7.0";
    std::string _hardwareModel;
    std::optional<int> _secondsFromGMT;
    bool _addressOverridden = false;
    std::optional<std::array<std::uint8_t, 6>> _addressOverride;
    std::string _advertisingIdentifier;
};

// A system version is MAJOR[.MINOR[.PATCH]], decimal digits only.
bool isSystemVersion(std::string_view text);
// Compares two versions part by part as whole numbers, a missing part
// counting as 0: negative, zero or positive. Both must be versions.
int compareSystemVersions(std::string_view a, std::string_view b);

} // namespace vq
