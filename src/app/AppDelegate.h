#pragma once

#include "system/ApplicationDelegate.h"

#include <memory>

namespace vq {
class Window;
}

namespace vq::app {

class ViewController;

// Starts the app and passes on what the promotion client needs to hear.
class AppDelegate : public vq::ApplicationDelegate {
public:
    static constexpr const char* kAnalyticsKey = "QK4TZW7XNDR2LBVHC5JP";
    static constexpr int kStoreIdentifier = 871203554;

    bool didFinishLaunching(Application& application) override;
    void didBecomeActive(Application& application) override;
    void willResignActive(Application&) override {}
    void didEnterBackground(Application&) override {}
    void willEnterForeground(Application&) override {}
    void willTerminate(Application&) override {}
    void didRegisterForRemoteNotificationsWithDeviceToken(Application& application,
                                                          std::vector<std::uint8_t> token) override;
    void didFailToRegisterForRemoteNotificationsWithError(Application& application, std::string error) override;
    void didReceiveRemoteNotification(Application& application, const PlistValue& userInfo) override;
    void didReceiveLocalNotification(Application& application, const PlistValue& userInfo) override;

    std::shared_ptr<Window> window() const { return _window; }
    std::shared_ptr<ViewController> viewController() const { return _viewController; }

private:
    std::shared_ptr<Window> _window;
    std::shared_ptr<ViewController> _viewController;
};

} // namespace vq::app
