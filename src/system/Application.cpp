#include "system/Application.h"

#include "core/EventHub.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/RunLoop.h"
#include "core/Timer.h"
#include "graphics/Graphemes.h"
#include "graphics/Screen.h"
#include "system/Keyboard.h"
#include "ui/GestureRecognizer.h"
#include "ui/View.h"
#include "ui/Window.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <random>

namespace vq {

namespace {

std::optional<std::string> schemeOf(const std::string& url)
{
    auto colon = url.find(':');
    if (colon == std::string::npos || colon == 0)
        return std::nullopt;
    std::string scheme = url.substr(0, colon);
    if (!std::isalpha(static_cast<unsigned char>(scheme[0])))
        return std::nullopt;
    for (char& c : scheme) {
        auto u = static_cast<unsigned char>(c);
        if (!std::isalnum(u) && c != '+' && c != '-' && c != '.')
            return std::nullopt;
        c = static_cast<char>(std::tolower(u));
    }
    return scheme;
}

} // namespace

struct Application::TouchState {
    std::shared_ptr<Window> window;
    std::shared_ptr<View> hitView;
    std::shared_ptr<View> captor;
    std::vector<std::shared_ptr<GestureRecognizer>> recognizers;
    bool viewCancelled = false;
    Touch touch;
};

Application::Application() { Keyboard::shared().install(); }

Application& Application::shared()
{
    static auto* app = new Application; // lives for the process, like its delegate
    return *app;
}

// ---- life cycle ----

void Application::launch()
{
    auto delegate = _delegate;
    if (delegate && !delegate->didFinishLaunching(*this))
        log("application delegate declined the launch");
    _state = ApplicationState::Active;
    if (delegate)
        delegate->didBecomeActive(*this);
}

void Application::enterBackground()
{
    if (_state == ApplicationState::Background)
        return;
    auto delegate = _delegate;
    if (delegate)
        delegate->willResignActive(*this);
    _state = ApplicationState::Background;
    if (delegate)
        delegate->didEnterBackground(*this);
}

void Application::enterForeground()
{
    if (_state != ApplicationState::Background)
        return;
    auto delegate = _delegate;
    if (delegate)
        delegate->willEnterForeground(*this);
    _state = ApplicationState::Active;
    if (delegate)
        delegate->didBecomeActive(*this);
}

void Application::terminate()
{
    if (auto delegate = _delegate)
        delegate->willTerminate(*this);
    _state = ApplicationState::Inactive;
}

// ---- windows ----

const std::vector<std::shared_ptr<Window>>& Application::windows() const { return Window::onScreen(); }

std::shared_ptr<Window> Application::keyWindow() const { return Window::keyWindow(); }

bool Application::isStatusBarHidden() const { return Screen::main().isStatusBarHidden(); }

void Application::setStatusBarHidden(bool hidden) { Screen::main().setStatusBarHidden(hidden); }

void Application::setDeviceProfile(DeviceProfile profile) { Device::current().setProfile(profile); }

// ---- URLs ----

void Application::setInstalledSchemes(std::set<std::string> schemes)
{
    _installedSchemes.clear();
    for (const auto& s : schemes) {
        // "fb", "fb:" and "fb://" all name the scheme fb.
        if (auto scheme = schemeOf(s.find(':') == std::string::npos ? s + ":" : s))
            _installedSchemes.insert(*scheme);
    }
}

bool Application::canOpenURL(const Url& url) const
{
    const auto& scheme = url.scheme();
    // sms stands for the system's messages app, always present.
    if (scheme == "http" || scheme == "https" || scheme == "sms")
        return true;
    return _installedSchemes.contains(scheme);
}

bool Application::canOpenURL(const std::string& url) const
{
    auto parsed = Url::parse(url);
    return parsed && canOpenURL(*parsed);
}

bool Application::openURL(const Url& url) { return openURL(url.absoluteString()); }

bool Application::openURL(const std::string& url)
{
    bool opens = canOpenURL(url);
    _openedURLs.push_back(url);
    EventHub::shared().publish(URLOpened{url});
    return opens;
}

// ---- remote notifications ----

std::vector<std::uint8_t> Application::deviceToken()
{
    constexpr std::size_t kTokenSize = 32;
    auto path = Paths::dataDir() / "push-token";
    if (auto kept = readFile(path); kept && kept->size() == kTokenSize)
        return {kept->begin(), kept->end()};
    std::random_device rd;
    std::vector<std::uint8_t> token(kTokenSize);
    for (auto& b : token)
        b = static_cast<std::uint8_t>(rd() & 0xff);
    // A token that cannot be kept still serves this run; the next run makes another.
    if (!Paths::ensureDirectory(path.parent_path()))
        (void)writeFileAtomically(path, std::string_view(reinterpret_cast<const char*>(token.data()), token.size()));
    return token;
}

void Application::registerForRemoteNotifications(int types)
{
    _remoteNotificationTypes = types;
    if (_remoteRegistration)
        _remoteRegistration->invalidate();
    _remoteRegistration = RunLoop::main().performAfter(kRemoteRegistrationDelay, [this] {
        _remoteRegistration.reset();
        auto delegate = _delegate;
        if (_remoteFailure) {
            EventHub::shared().publish(PushRegistration{std::nullopt, _remoteFailure});
            if (delegate)
                delegate->didFailToRegisterForRemoteNotificationsWithError(*this, *_remoteFailure);
            return;
        }
        auto token = deviceToken();
        std::string hex;
        for (auto b : token)
            hex += fmt::format("{:02x}", b);
        EventHub::shared().publish(PushRegistration{hex, std::nullopt});
        if (delegate)
            delegate->didRegisterForRemoteNotificationsWithDeviceToken(*this, std::move(token));
    });
}

void Application::deliverRemoteNotification(const PlistValue& userInfo)
{
    if (auto delegate = _delegate)
        delegate->didReceiveRemoteNotification(*this, userInfo);
}

void Application::deliverLocalNotification(const PlistValue& userInfo)
{
    if (auto delegate = _delegate)
        delegate->didReceiveLocalNotification(*this, userInfo);
}

// ---- touches ----

std::shared_ptr<View> Application::touchedView() const { return _touch ? _touch->hitView : nullptr; }

std::vector<std::shared_ptr<Window>> Application::windowsFrontToBack() const
{
    std::vector<std::shared_ptr<Window>> ordered(windows().rbegin(), windows().rend());
    std::stable_sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) {
        return static_cast<int>(a->windowLevel()) > static_cast<int>(b->windowLevel());
    });
    return ordered;
}

void Application::sendTouch(Point screenPoint, Touch::Phase phase)
{
    if (phase == Touch::Phase::Began) {
        if (_touch)
            deliverTouch(Touch::Phase::Cancelled, _touch->touch.locationInWindow);
        for (const auto& window : windowsFrontToBack()) {
            Point p = window->pointFromSuperview(screenPoint);
            auto hit = window->hitTest(p);
            if (!hit)
                continue;
            auto state = std::make_shared<TouchState>();
            state->window = window;
            state->hitView = hit;
            for (auto v = hit; v; v = v->superview())
                for (const auto& r : v->gestureRecognizers())
                    if (r->isEnabled())
                        state->recognizers.push_back(r);
            state->touch.phase = Touch::Phase::Began;
            state->touch.locationInWindow = p;
            state->touch.previousLocationInWindow = p;
            state->touch.startLocationInWindow = p;
            state->touch.timestamp = RunLoop::main().now();
            state->touch.window = window;
            _touch = state;
            for (const auto& r : state->recognizers)
                r->touchesBegan(state->touch);
            hit->touchesBegan(state->touch);
            return;
        }
        return;
    }
    if (!_touch)
        return;
    deliverTouch(phase, _touch->window->pointFromSuperview(screenPoint));
}

void Application::deliverTouch(Touch::Phase phase, Point windowPoint)
{
    auto state = _touch; // kept alive while handlers run
    Touch& touch = state->touch;
    touch.phase = phase;
    touch.previousLocationInWindow = touch.locationInWindow;
    touch.locationInWindow = windowPoint;
    touch.timestamp = RunLoop::main().now();

    auto cancelView = [&] {
        if (state->viewCancelled)
            return;
        state->viewCancelled = true;
        Touch cancelled = touch;
        cancelled.phase = Touch::Phase::Cancelled;
        state->hitView->touchesCancelled(cancelled);
    };
    auto recognised = [&] {
        return std::any_of(state->recognizers.begin(), state->recognizers.end(),
                           [](const auto& r) { return r->didRecognize() && r->cancelsTouchesInView(); });
    };

    switch (phase) {
    case Touch::Phase::Began:
        break;
    case Touch::Phase::Moved: {
        for (const auto& r : state->recognizers)
            r->touchesMoved(touch);
        if (!state->captor && recognised())
            cancelView();
        Point start = touch.startLocationInWindow;
        double distance = std::hypot(windowPoint.x - start.x, windowPoint.y - start.y);
        if (!state->captor && distance > kDragThreshold) {
            for (auto v = state->hitView->superview(); v; v = v->superview()) {
                if (v->capturesDrags()) {
                    cancelView();
                    state->captor = v;
                    break;
                }
            }
        }
        if (state->captor)
            state->captor->touchesMoved(touch);
        else if (!state->viewCancelled)
            state->hitView->touchesMoved(touch);
        break;
    }
    case Touch::Phase::Ended: {
        for (const auto& r : state->recognizers)
            r->touchesEnded(touch);
        if (state->captor) {
            state->captor->touchesEnded(touch);
        } else if (!state->viewCancelled) {
            if (recognised()) {
                cancelView();
            } else {
                state->hitView->touchesEnded(touch);
                for (auto v = state->hitView; v; v = v->superview()) {
                    if (v->canBecomeFirstResponder()) {
                        v->becomeFirstResponder();
                        break;
                    }
                }
            }
        }
        endTouch();
        break;
    }
    case Touch::Phase::Cancelled:
        for (const auto& r : state->recognizers)
            r->touchesCancelled(touch);
        if (state->captor)
            state->captor->touchesCancelled(touch);
        else
            cancelView();
        endTouch();
        break;
    }
}

void Application::endTouch() { _touch.reset(); }

void Application::tapAt(Point screenPoint)
{
    sendTouch(screenPoint, Touch::Phase::Began);
    sendTouch(screenPoint, Touch::Phase::Ended);
}

void Application::dragFrom(Point from, Point to, int steps)
{
    steps = std::max(1, steps);
    sendTouch(from, Touch::Phase::Began);
    for (int i = 1; i <= steps; ++i) {
        double t = static_cast<double>(i) / steps;
        sendTouch({lerp(from.x, to.x, t), lerp(from.y, to.y, t)}, Touch::Phase::Moved);
    }
    sendTouch(to, Touch::Phase::Ended);
}

// ---- keys ----

void Application::typeText(const std::string& utf8)
{
    for (auto& key : graphemeClusters(utf8)) {
        // Ask each time: a key may move the focus.
        auto responder = Responder::firstResponder();
        if (!responder)
            return;
        if (key == "\r\n" || key == "\r")
            key = "\n";
        responder->insertText(key);
    }
}

void Application::pasteText(const std::string& utf8)
{
    if (utf8.empty())
        return;
    if (auto responder = Responder::firstResponder())
        responder->insertText(utf8);
}

void Application::pressBackspace()
{
    if (auto responder = Responder::firstResponder())
        responder->deleteBackward();
}

// ---- start-up and tests ----

std::optional<std::string> Application::prepareDataFolders()
{
    if (auto err = Paths::ensureDirectory(Paths::dataDir()))
        return err;
    return Paths::ensureDirectory(Paths::cacheDir());
}

void Application::resetForTests()
{
    if (_remoteRegistration)
        _remoteRegistration->invalidate();
    _remoteRegistration.reset();
    _touch.reset();
    if (auto responder = Responder::firstResponder())
        responder->resignFirstResponder();
    Keyboard::shared().reset();
    // The event hub may have been cleared meanwhile.
    Keyboard::shared().install();
    Window::clearScreenForTests();
    _delegate.reset();
    _state = ApplicationState::Inactive;
    setStatusBarHidden(false);
    _installedSchemes.clear();
    _openedURLs.clear();
    _remoteNotificationTypes = 0;
    _remoteFailure.reset();
}

} // namespace vq
