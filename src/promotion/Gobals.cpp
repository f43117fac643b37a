#include "promotion/Gobals.h"

#include "core/Bundle.h"
#include "core/Log.h"
#include "core/StringAdditions.h"
#include "graphics/Image.h"
#include "system/Application.h"
#include "system/Device.h"
#include "system/DeviceAdditions.h"
#include "ui/Responder.h"
#include "ui/View.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

#include <cmath>

namespace vq {

namespace {

bool belowSix() { return Gobals::systemVersion() < 6.0f; }

} // namespace

std::string Gobals::appVersion() { return Bundle::main().shortVersion; }

std::optional<std::string> Gobals::deviceId()
{
    if (belowSix())
        return uniqueGlobalDeviceIdentifier();
    return Device::current().advertisingIdentifier();
}

std::string Gobals::deviceIdType() { return belowSix() ? "mac" : "ad id"; }

std::string Gobals::deviceModel() { return platformString(); }

float Gobals::systemVersion() { return systemVersionFromString(Device::current().systemVersion()); }

float Gobals::systemVersionFromString(std::string_view s)
{
    // The leading number only: "6.1.3" is 6.1, "7" is 7, "beta" is 0.
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    double value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        value = value * 10 + (s[i] - '0');
    if (i < s.size() && s[i] == '.') {
        double scale = 0.1;
        for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, scale /= 10)
            value += (s[i] - '0') * scale;
    }
    return static_cast<float>(negative ? -value : value);
}

int Gobals::timezone() { return timezoneFromSeconds(Device::current().secondsFromGMT()); }

int Gobals::timezoneFromSeconds(int secondsFromGMT)
{
    return static_cast<int>(std::trunc(static_cast<double>(static_cast<float>(secondsFromGMT)) / 3600.0));
}

bool Gobals::isAppStoreDisplaying()
{
    auto top = rootViewForUIDisplay();
    return top && std::string_view(top->className()) == "StoreProductPage";
}

bool Gobals::isKeyboardVisible()
{
    const auto& windows = Application::shared().windows();
    if (windows.size() < 2)
        return false;
    const auto& second = windows[1];
    if (second->subviews().empty())
        return false;
    Rect first = second->subviews().front()->frame();
    return first.origin.y + first.size.height == second->frame().size.height;
}

std::shared_ptr<ViewController> Gobals::getCurrentRootViewController()
{
    auto& app = Application::shared();
    auto window = app.keyWindow();
    if (!window || window->windowLevel() != WindowLevel::Normal) {
        window = nullptr;
        for (const auto& w : app.windows())
            if (w->windowLevel() == WindowLevel::Normal) {
                window = w;
                break;
            }
    }
    if (!window)
        return nullptr;
    if (!window->subviews().empty()) {
        auto next = window->subviews().front()->nextResponder();
        if (auto controller = std::dynamic_pointer_cast<ViewController>(next))
            return controller;
    }
    return window->rootViewController();
}

std::shared_ptr<ViewController> Gobals::rootViewForUIDisplay()
{
    auto controller = getCurrentRootViewController();
    while (controller && controller->presentedViewController())
        controller = controller->presentedViewController();
    return controller;
}

std::shared_ptr<View> Gobals::findFirstResponder(const std::shared_ptr<View>& view)
{
    if (!view)
        return nullptr;
    if (view->isFirstResponder())
        return view;
    for (const auto& sub : view->subviews())
        if (auto found = findFirstResponder(sub))
            return found;
    return nullptr;
}

void Gobals::addRootViewToWindow(const std::shared_ptr<View>& view)
{
    auto window = Application::shared().keyWindow();
    if (!view || !window)
        return;
    window->addSubview(view);
    window->bringSubviewToFront(view);
}

void Gobals::presentControllerInFront(const std::shared_ptr<ViewController>& controller)
{
    if (!controller)
        return;
    if (auto top = rootViewForUIDisplay())
        top->presentViewController(controller, true);
}

bool Gobals::isFullScreen() { return Application::shared().isStatusBarHidden(); }

std::string Gobals::fillURLPath(const std::optional<std::string>& base, const std::optional<std::string>& relative)
{
    return base.value_or("(null)") + relative.value_or("(null)");
}

std::vector<std::string> Gobals::fillURLPaths(const std::optional<std::string>& base,
                                              const std::vector<std::optional<std::string>>& relatives)
{
    std::vector<std::string> out;
    out.reserve(relatives.size());
    for (const auto& relative : relatives)
        out.push_back(fillURLPath(base, relative));
    return out;
}

std::optional<std::string> Gobals::encodeURL(std::string_view text)
{
    auto escaped = percentEscapeLatin1(text);
    if (!escaped)
        log("cannot escape URL {}", text);
    return escaped;
}

std::shared_ptr<Image> Gobals::imageWithFileName(const std::optional<std::string>& name)
{
    if (!name || name->empty())
        return nullptr;
    std::string resource = "ad-img/" + *name;
    const auto& bundle = Bundle::main();
    if (!bundle.pathForResource(resource + "@2x", "png") && !bundle.pathForResource(resource, "png"))
        return nullptr;
    return Image::imageNamed(resource);
}

} // namespace vq
