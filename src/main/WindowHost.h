#pragma once

#include "core/EventHub.h"
#include "main/DesktopBridge.h"
#include "main/Launch.h"
#include "main/LaunchOptions.h"
#include "main/SdlOwners.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

union SDL_Event;

namespace vq {

class ApplicationDelegate;
class ScreenTexture;
class ScriptPlayer;
class ScriptTargets;

// Runs the app (launchApp, on the system clock) in a desktop window: the
// device's screen at its scale times the zoom, the mouse as a finger, the
// physical keyboard for the first responder, and the script (if any) played
// in real time. Sleeps in the SDL event wait until the next event, timer or
// animation frame. Exit statuses: 0 the window was closed, 1 the data
// folders or the window cannot be set up, 2 the script is missing, does not
// parse or a command of it failed.
class WindowHost {
public:
    using TargetsFactory = std::function<std::shared_ptr<ScriptTargets>(ApplicationDelegate&)>;

    WindowHost(LaunchOptions options, DelegateFactory makeDelegate, TargetsFactory makeTargets);
    ~WindowHost();
    WindowHost(const WindowHost&) = delete;
    WindowHost& operator=(const WindowHost&) = delete;

    // Messages for the user go to errors.
    int run(std::ostream& errors);

    // Why no window can open here, when there is plainly no display; the run
    // then ends with kNoDisplay instead of waiting on one.
    static std::optional<std::string> missingDisplay();
    static constexpr int kNoDisplay = 2;

private:
    std::optional<std::string> openWindow();
    // False when the window is closed.
    bool handle(const SDL_Event& event);
    void handleKey(const SDL_Event& event);
    void followFirstResponder();
    std::optional<std::string> redrawIfNeeded();
    // Milliseconds until something is due; negative when nothing is.
    int waitMilliseconds() const;

    LaunchOptions _options;
    DelegateFactory _makeDelegate;
    TargetsFactory _makeTargets;
    LaunchedApp _launched;

    // Declared in the order they are made, so they go in reverse.
    std::optional<SdlVideo> _video;
    SdlWindow _window;
    SdlRenderer _renderer;
    std::unique_ptr<ScreenTexture> _screen;
    std::unique_ptr<ScriptPlayer> _player;
    std::unique_ptr<DesktopBridge> _desktop;
    std::uint32_t _wakeEvent = 0;
    std::optional<std::uint64_t> _drawnGeneration;
    bool _exposed = false;
    bool _mouseDown = false;
    bool _textInput = false;
    // Draws a last frame before the main thread blocks (a busy indicator stays up meanwhile).
    Subscription _willBlock;
};

} // namespace vq
