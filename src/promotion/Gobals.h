#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vq {

class Image;
class View;
class ViewController;

// The device's identity and the small services the promotion client shares:
// stateless class operations, every value computed anew on each call.
class Gobals {
public:
    Gobals() = delete;

    // "CFBundleShortVersionString".
    static std::string appVersion();
    // Below system 6.0 the MD5 text of the en0 address (nothing when it
    // cannot be read); from 6.0 on the advertising identifier.
    static std::optional<std::string> deviceId();
    // "mac" below 6.0, "ad id" from 6.0 on.
    static std::string deviceIdType();
    // The hardware model's display string, such as "iPhone 4S".
    static std::string deviceModel();
    // The system version's leading number in single precision (6.1.3 reads 6.1).
    static float systemVersion();
    // Whole hours from GMT of the process's time zone (TZ), truncated toward zero.
    static int timezone();

    static bool isAppStoreDisplaying();
    // A geometry test on the second window: its first subview's bottom edge
    // at the window's height.
    static bool isKeyboardVisible();
    // The controller on top: the normal-level window's controller, then
    // the chain of presented controllers to its end.
    static std::shared_ptr<ViewController> rootViewForUIDisplay();
    static std::shared_ptr<ViewController> getCurrentRootViewController();
    // Depth first, the view itself before its subviews in their order.
    static std::shared_ptr<View> findFirstResponder(const std::shared_ptr<View>& view);
    static void addRootViewToWindow(const std::shared_ptr<View>& view);
    static void presentControllerInFront(const std::shared_ptr<ViewController>& controller);
    static bool isFullScreen();

    // base followed directly by relative, as "%@%@" prints them (a missing
    // one as "(null)").
    static std::string fillURLPath(const std::optional<std::string>& base, const std::optional<std::string>& relative);
    static std::vector<std::string> fillURLPaths(const std::optional<std::string>& base,
                                                 const std::vector<std::optional<std::string>>& relatives);

    // The whole URL text escaped in Latin-1 (see percentEscapeLatin1), or
    // nothing, with one log line, when it cannot be.
    static std::optional<std::string> encodeURL(std::string_view text);

    // The resource "ad-img/NAME.png"; nothing for a missing or empty name or
    // a missing file.
    static std::shared_ptr<Image> imageWithFileName(const std::optional<std::string>& name);

    // The pieces, for callers that hold their own values.
    static float systemVersionFromString(std::string_view version);
    static int timezoneFromSeconds(int secondsFromGMT);
};

} // namespace vq
