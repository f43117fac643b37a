#include "app/AppDelegate.h"

#include "analytics/Analytics.h"
#include "app/ViewController.h"
#include "core/Bundle.h"
#include "core/Log.h"
#include "core/RunLoop.h"
#include "graphics/Screen.h"
#include "net/HttpRequest.h"
#include "promotion/PromotionUnit.h"
#include "promotion/Reportor.h"
#include "system/Application.h"
#include "system/Device.h"
#include "ui/Window.h"

#include <fmt/format.h>

namespace vq::app {

namespace {

// The HTTP service reports on the main run loop and names this app and the
// device it was launched as.
void startHttpService()
{
    HttpRequest::setDefaultExecutor([](std::function<void()> task) { RunLoop::main().post(std::move(task)); });
    const auto& bundle = Bundle::main();
    const auto& device = Device::current();
    HttpRequest::setUserAgentFacts({bundle.displayName, bundle.bundleName, bundle.shortVersion, bundle.build,
                                    device.model().value_or(""), device.systemName(), device.systemVersion(),
                                    device.localeIdentifier()});
}

} // namespace

bool AppDelegate::didFinishLaunching(Application& application)
{
    startHttpService();
    Analytics::startSession(kAnalyticsKey);
    // The unit is reached through currentInstance from here on.
    PromotionUnit::defaultInstance(fmt::format("{}", kStoreIdentifier));
    _window = Window::create(Screen::main().bounds());
    application.setStatusBarHidden(true);
    _viewController = ViewController::create();
    _window->setRootViewController(_viewController);
    _window->makeKeyAndVisible();
    return true;
}

void AppDelegate::didBecomeActive(Application&)
{
    if (auto unit = PromotionUnit::currentInstance())
        unit->becomeActived();
}

void AppDelegate::didRegisterForRemoteNotificationsWithDeviceToken(Application&, std::vector<std::uint8_t> token)
{
    // The server learns the token at once; the unit's formatted text is what it expects.
    if (auto unit = PromotionUnit::currentInstance())
        Reportor::instance()->reportApns(unit->registDeviceSucess(token));
}

void AppDelegate::didFailToRegisterForRemoteNotificationsWithError(Application&, std::string error)
{
    log("regist device fail.[err = {}]", error);
}

void AppDelegate::didReceiveRemoteNotification(Application&, const PlistValue&) { log("receive remote notification."); }

void AppDelegate::didReceiveLocalNotification(Application&, const PlistValue&) { log("receive locate notification"); }

} // namespace vq::app
