#pragma once

#include "core/PropertyList.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vq {

class Application;

// What the application tells its delegate. Every operation is optional.
class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;

    virtual bool didFinishLaunching(Application&) { return true; }
    virtual void didBecomeActive(Application&) {}
    virtual void willResignActive(Application&) {}
    virtual void didEnterBackground(Application&) {}
    virtual void willEnterForeground(Application&) {}
    virtual void willTerminate(Application&) {}
    virtual void didRegisterForRemoteNotificationsWithDeviceToken(Application&, std::vector<std::uint8_t>) {}
    virtual void didFailToRegisterForRemoteNotificationsWithError(Application&, std::string) {}
    // The notice's payload dictionary.
    virtual void didReceiveRemoteNotification(Application&, const PlistValue&) {}
    virtual void didReceiveLocalNotification(Application&, const PlistValue&) {}
};

} // namespace vq
