#include "main/WindowHost.h"

#include "main/EventLog.h"
#include "main/OutputClash.h"
#include "main/ScreenTexture.h"
#include "main/ScriptPlayer.h"
#include "main/ScriptRunner.h"
#include "main/ScriptTargets.h"
#include "main/SdlLibrary.h"
#include "main/WheelScroll.h"

#include "core/RunLoop.h"
#include "graphics/Screen.h"
#include "system/Application.h"
#include "ui/Responder.h"
#include "ui/View.h"

#include <cstdlib>
#include <cstring>
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <variant>

namespace vq {

namespace {

constexpr double kFrameInterval = 1.0 / 60;
// Points one wheel notch scrolls, about three lines of the panel.
constexpr double kWheelStep = 40;

bool firstResponderTakesKeys()
{
    auto responder = Responder::firstResponder();
    return responder && responder->needsKeyboard();
}

} // namespace

WindowHost::WindowHost(LaunchOptions options, DelegateFactory makeDelegate, TargetsFactory makeTargets)
    : _options(std::move(options)), _makeDelegate(std::move(makeDelegate)), _makeTargets(std::move(makeTargets))
{
    _options.headless = false;
}

WindowHost::~WindowHost()
{
    RunLoop::main().setWakeHandler(nullptr);
}

std::optional<std::string> WindowHost::missingDisplay()
{
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    if (set("DISPLAY") || set("WAYLAND_DISPLAY"))
        return std::nullopt;
    // A driver that needs no display server (offscreen, kmsdrm) was asked for by name.
    if (const char* driver = std::getenv("SDL_VIDEODRIVER");
        driver && *driver && std::strcmp(driver, "x11") != 0 && std::strcmp(driver, "wayland") != 0)
        return std::nullopt;
    return std::string("there is no display (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                       "--headless runs the app without a window");
}

int WindowHost::run(std::ostream& errors)
{
    if (auto missing = missingDisplay()) {
        errors << "velvet-quill: " << *missing << "\n";
        return kNoDisplay;
    }
    // The script first: a mistake in it should cost nothing.
    std::vector<ScriptCommand> commands;
    std::string scriptName;
    if (_options.script) {
        scriptName = _options.script->string();
        auto loaded = loadScriptFile(scriptName, errors);
        if (!loaded)
            return ScriptRunner::kFailed;
        commands = std::move(*loaded);
    }
    if (auto clash = findOutputClash(_options.script, _options.eventsFile, commands)) {
        errors << *clash << "\n";
        return ScriptRunner::kFailed;
    }

    // The window opens once the device, and so the screen, is known.
    auto launched = launchApp(_options, _makeDelegate, errors, [&]() -> std::optional<int> {
        if (auto error = openWindow()) {
            errors << "velvet-quill: cannot open a window (" << *error << "); --headless runs the app without one\n";
            return kNoDisplay;
        }
        _willBlock = EventHub::shared().subscribe<MainThreadWillBlock>([this](const MainThreadWillBlock&) {
            followFirstResponder();
            (void)redrawIfNeeded(); // a failure here shows again at the next frame
        });
        return std::nullopt;
    });
    if (auto* status = std::get_if<int>(&launched))
        return *status;
    _launched = std::move(std::get<LaunchedApp>(launched));
    _desktop = DesktopBridge::create(_options.openUrls.value_or(OpenUrls::Browser));
    auto& loop = RunLoop::main();
    // The window is open, so SDL is loaded.
    const SdlLibrary& sdl = *sdlLibrary();

    if (!commands.empty()) {
        auto delegate = _launched.delegate;
        auto runner = std::make_shared<ScriptRunner>(_makeTargets && delegate ? _makeTargets(*delegate) : nullptr,
                                                     scriptName, errors);
        _player = std::make_unique<ScriptPlayer>(std::move(runner), std::move(commands));
    }

    for (;;) {
        loop.runPending();
        if (_player && _player->step(loop.now()) == ScriptPlayer::State::Failed)
            return ScriptRunner::kFailed;
        followFirstResponder();
        if (auto error = redrawIfNeeded()) {
            errors << "velvet-quill: " << *error << "\n";
            return 1;
        }

        SDL_Event event;
        int wait = waitMilliseconds();
        bool got = wait < 0 ? sdl.waitEvent(&event) : sdl.waitEventTimeout(&event, wait);
        while (got) {
            if (!handle(event))
                return _launched.events && _launched.events->failed() ? 1 : 0;
            got = sdl.pollEvent(&event);
        }
    }
}

std::optional<std::string> WindowHost::openWindow()
{
    const SdlLibrary* sdl = sdlLibrary();
    if (!sdl)
        return sdlLoadError();
    // Downscaling the device-scale texture to the window wants filtering.
    sdl->setHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    // A tap on the phone acts at once: the click that focuses the window is a touch too.
    sdl->setHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    if (!_video.emplace().started())
        return sdlError();
    _wakeEvent = sdl->registerEvents(1);
    if (_wakeEvent == static_cast<std::uint32_t>(-1))
        return std::string("no SDL user event left");
    RunLoop::main().setWakeHandler([type = _wakeEvent] {
        SDL_Event wake{};
        wake.type = type;
        sdlLibrary()->pushEvent(&wake);
    });

    Size size = Screen::main().bounds().size;
    int width = static_cast<int>(std::lround(size.width * _options.zoom));
    int height = static_cast<int>(std::lround(size.height * _options.zoom));
    _window.reset(sdl->createWindow("Velvet Quill", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                                   SDL_WINDOW_SHOWN));
    if (!_window)
        return sdlError();
    _renderer.reset(sdl->createRenderer(_window.get(), -1, 0));
    if (!_renderer)
        return sdlError();
    _screen = std::make_unique<ScreenTexture>(_renderer.get());
    // SDL starts with text input on; it follows the first responder instead.
    sdl->stopTextInput();
    return std::nullopt;
}

bool WindowHost::handle(const SDL_Event& event)
{
    auto& app = Application::shared();
    auto point = [this](int x, int y) { return Point{x / _options.zoom, y / _options.zoom}; };
    switch (event.type) {
    case SDL_QUIT:
        return false;
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_EXPOSED)
            _exposed = true;
        break;
    case SDL_MOUSEBUTTONDOWN:
        if (event.button.button == SDL_BUTTON_LEFT && !_mouseDown) {
            _mouseDown = true;
            app.sendTouch(point(event.button.x, event.button.y), Touch::Phase::Began);
        }
        break;
    case SDL_MOUSEMOTION:
        if (_mouseDown)
            app.sendTouch(point(event.motion.x, event.motion.y), Touch::Phase::Moved);
        break;
    case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT && _mouseDown) {
            _mouseDown = false;
            app.sendTouch(point(event.button.x, event.button.y), Touch::Phase::Ended);
        }
        break;
    case SDL_MOUSEWHEEL: {
        // Not while a finger is down: the drag owns the scroll view then.
        if (_mouseDown)
            break;
        double sign = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? 1 : -1;
        int x = 0;
        int y = 0;
        sdlLibrary()->getMouseState(&x, &y);
        scrollWheelAt(point(x, y), {-sign * event.wheel.preciseX * kWheelStep, sign * event.wheel.preciseY * kWheelStep});
        break;
    }
    case SDL_TEXTINPUT:
        if (firstResponderTakesKeys())
            app.typeText(event.text.text);
        break;
    case SDL_KEYDOWN:
        handleKey(event);
        break;
    default:
        // The wake event only ends the wait; the loop runs what was posted.
        break;
    }
    return true;
}

void WindowHost::handleKey(const SDL_Event& event)
{
    if (!firstResponderTakesKeys())
        return;
    auto& app = Application::shared();
    SDL_Keycode key = event.key.keysym.sym;
    if (key == SDLK_RETURN || key == SDLK_KP_ENTER) {
        app.typeText("\n");
    } else if (key == SDLK_BACKSPACE) {
        app.pressBackspace();
    } else if (key == SDLK_v && (event.key.keysym.mod & KMOD_CTRL) && sdlLibrary()->hasClipboardText()) {
        if (SdlText text{sdlLibrary()->getClipboardText()})
            app.pasteText(text.get());
    }
}

void WindowHost::followFirstResponder()
{
    bool wanted = firstResponderTakesKeys();
    if (wanted == _textInput)
        return;
    _textInput = wanted;
    if (wanted)
        sdlLibrary()->startTextInput();
    else
        sdlLibrary()->stopTextInput();
}

std::optional<std::string> WindowHost::redrawIfNeeded()
{
    auto generation = View::displayGeneration();
    bool changed = generation != _drawnGeneration || View::anyAnimationRunning();
    if (!changed && !_exposed)
        return std::nullopt;
    if (changed) {
        if (auto error = _screen->update(Screen::main().scale() * _options.zoom))
            return error;
        _drawnGeneration = generation;
    }
    _exposed = false;
    const SdlLibrary& sdl = *sdlLibrary();
    sdl.renderClear(_renderer.get());
    sdl.renderCopy(_renderer.get(), _screen->texture(), nullptr, nullptr);
    sdl.renderPresent(_renderer.get());
    return std::nullopt;
}

int WindowHost::waitMilliseconds() const
{
    auto& loop = RunLoop::main();
    double now = loop.now();
    std::optional<double> due = loop.nextDeadline();
    auto sooner = [&due](double t) { due = due ? std::min(*due, t) : t; };
    if (_player)
        if (auto resume = _player->nextDeadline())
            sooner(*resume);
    if (View::anyAnimationRunning())
        sooner(now + kFrameInterval);
    if (!due)
        return -1;
    return static_cast<int>(std::clamp(std::ceil((*due - now) * 1000), 0.0, 3600.0 * 1000));
}

} // namespace vq
