// The presenters build their views from the whole list the server sends: on
// every device variant, any list must build, show, draw, take a tap and hide.
#include "Check.h"
#include "TempRoot.h"

#include "core/Paths.h"
#include "core/PropertyListValues.h"
#include "core/RunLoop.h"
#include "graphics/Screen.h"
#include "net/HttpRequest.h"
#include "net/NetworkSwitch.h"
#include "promotion/ads/AdGenerator.h"
#include "promotion/InternalLinkHandler.h"
#include "system/AlertView.h"
#include "system/Application.h"
#include "system/Device.h"
#include "system/TestReset.h"
#include "ui/Renderer.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace {

// The ad types fuzzed; each presenter joins with its line.
constexpr int kPresenters[] = {
    1, // alert
    2, // wall
    3, // bigads
    4, // reward
};

void startFresh(vq::DeviceProfile profile)
{
    vq::resetForTests();
    vq::Device::current().setProfile(profile);
    vq::Paths::setDataRoot(fuzzTempRoot());
    // Reports and picture downloads fail at once: nothing leaves the process.
    vq::setNetworkEnabled(false);
    vq::HttpRequest::setDefaultExecutor([](std::function<void()> task) { vq::RunLoop::main().post(std::move(task)); });
    auto window = vq::Window::create(vq::Screen::main().bounds());
    window->setRootViewController(vq::ViewController::create());
    window->makeKeyAndVisible();
}

// The accepting button of an alert on screen, else the middle of the screen.
void tapSomething()
{
    auto alerts = vq::AlertView::visibleAlerts();
    if (!alerts.empty() && alerts.back()->numberOfButtons() > 0) {
        const auto& alert = alerts.back();
        vq::Rect f = alert->buttonFrame(alert->numberOfButtons() - 1);
        vq::Point c = alert->convertPointTo({f.x() + f.width() / 2, f.y() + f.height() / 2}, nullptr);
        vq::Application::shared().tapAt(c);
        return;
    }
    auto b = vq::Screen::main().bounds();
    vq::Application::shared().tapAt({b.width() / 2, b.height() / 2});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto parsed = vq::parsePropertyListDictionary(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!parsed)
        return 0;
    auto list = std::make_shared<const vq::PlistValue>(std::move(*parsed));
    for (auto profile : {vq::DeviceProfile::Phone, vq::DeviceProfile::Tall, vq::DeviceProfile::Tablet}) {
        startFresh(profile);
        auto handler = vq::InternalLinkHandler::create();
        for (int type : kPresenters) {
            for (int showType : {0, 1}) {
                auto ad = vq::AdGenerator::adWithType(type, showType);
                require(ad != nullptr, "no presenter for a listed ad type");
                ad->setLinkHandler(handler);
                ad->setContentInfo(list);
                ad->showAd();
                vq::RunLoop::main().advance(1);
                auto& screen = vq::Screen::main();
                (void)vq::renderWindows(vq::Application::shared().windows(), screen.bounds().size, screen.scale());
                tapSomething();
                vq::RunLoop::main().advance(1);
                ad->hideAd();
                vq::RunLoop::main().advance(1);
            }
        }
    }
    vq::resetForTests();
    return 0;
}
