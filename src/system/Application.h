#pragma once

#include "core/Bundle.h"
#include "core/Geometry.h"
#include "core/Url.h"
#include "system/ApplicationDelegate.h"
#include "system/Device.h"
#include "ui/Touch.h"

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vq {

class Timer;
class View;
class Window;

enum class ApplicationState { Inactive, Active, Background };

// Published on the event hub for every openURL, whether or not something opens it.
struct URLOpened {
    std::string url;
};

// Published on the event hub when push registration answers: the token as
// lower-case hex, or the error.
struct PushRegistration {
    std::optional<std::string> token;
    std::optional<std::string> error;
};

// Remote-notification kinds, combined as a bit mask.
enum RemoteNotificationType : int {
    RemoteNotificationTypeNone = 0,
    RemoteNotificationTypeBadge = 1 << 0,
    RemoteNotificationTypeSound = 1 << 1,
    RemoteNotificationTypeAlert = 1 << 2,
};

// The one application: its delegate and life cycle, its windows, URL
// opening, remote-notification registration, and the input it receives
// (touches in screen points, keys for the first responder).
class Application {
public:
    static Application& shared();

    // Held for the life of the process.
    void setDelegate(std::shared_ptr<ApplicationDelegate> delegate) { _delegate = std::move(delegate); }
    const std::shared_ptr<ApplicationDelegate>& delegate() const { return _delegate; }

    // Life cycle.
    void launch();          // didFinishLaunching, then didBecomeActive
    void enterBackground(); // willResignActive, didEnterBackground
    void enterForeground(); // willEnterForeground, didBecomeActive
    void terminate();       // willTerminate
    ApplicationState applicationState() const { return _state; }

    // The screen's windows, in the order they came on.
    const std::vector<std::shared_ptr<Window>>& windows() const;
    // As touches find them: the highest level first, the latest first within a level.
    std::vector<std::shared_ptr<Window>> windowsFrontToBack() const;
    std::shared_ptr<Window> keyWindow() const;

    bool isStatusBarHidden() const;
    void setStatusBarHidden(bool hidden);

    // The device the app runs as; the screen follows it.
    void setDeviceProfile(DeviceProfile profile);
    Bundle& bundle() const { return Bundle::main(); }

    // URLs. http, https and sms always open; other schemes when installed.
    void setInstalledSchemes(std::set<std::string> schemes);
    const std::set<std::string>& installedSchemes() const { return _installedSchemes; }
    bool canOpenURL(const Url& url) const;
    // Text that does not parse as a URL opens nothing.
    bool canOpenURL(const std::string& url) const;
    // Records the URL and publishes URLOpened; returns whether something opens it.
    bool openURL(const Url& url);
    // Text that does not parse is recorded and published all the same, and opens nothing.
    bool openURL(const std::string& url);
    const std::vector<std::string>& openedURLs() const { return _openedURLs; }

    // Remote notifications: after a short delay on the run loop's clock the
    // delegate gets the device token, or the failure set with
    // setRemoteNotificationFailure; PushRegistration tells the hub either way.
    void registerForRemoteNotifications(int types);
    int enabledRemoteNotificationTypes() const { return _remoteNotificationTypes; }
    void setRemoteNotificationFailure(std::optional<std::string> error) { _remoteFailure = std::move(error); }
    void deliverRemoteNotification(const PlistValue& userInfo);
    void deliverLocalNotification(const PlistValue& userInfo);
    static constexpr double kRemoteRegistrationDelay = 0.1;
    // This data folder's 32-byte device token, made and kept on first use so runs repeat.
    static std::vector<std::uint8_t> deviceToken();

    // Touch input at a point of the screen.
    void sendTouch(Point screenPoint, Touch::Phase phase);
    void tapAt(Point screenPoint);
    void dragFrom(Point from, Point to, int steps = 10);
    // The view the current touch began on, while a touch is down.
    std::shared_ptr<View> touchedView() const;
    // A drag further than this from its start may be taken over by a scrolling ancestor.
    static constexpr double kDragThreshold = 10;

    // Key input for the first responder: one key per grapheme cluster, "\n" is Return.
    void typeText(const std::string& utf8);
    void pasteText(const std::string& utf8);
    void pressBackspace();

    // Makes sure the data and cache folders exist; a message naming the
    // folder when one cannot be created.
    static std::optional<std::string> prepareDataFolders();

    // Back to a just-started application (between tests).
    void resetForTests();

private:
    Application();
    struct TouchState;
    void deliverTouch(Touch::Phase phase, Point windowPoint);
    void endTouch();

    std::shared_ptr<ApplicationDelegate> _delegate;
    ApplicationState _state = ApplicationState::Inactive;

    std::set<std::string> _installedSchemes;
    std::vector<std::string> _openedURLs;

    int _remoteNotificationTypes = 0;
    std::optional<std::string> _remoteFailure;
    std::shared_ptr<Timer> _remoteRegistration;

    std::shared_ptr<TouchState> _touch;
};

} // namespace vq
