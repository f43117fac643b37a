#pragma once

#include "core/EventHub.h"
#include "core/Geometry.h"

#include <cstdint>
#include <memory>

namespace vq {

class View;
class Window;

// The simulated on-screen keyboard. It follows the first responder: while
// one that needs keys is first responder the keyboard is up, in a window of
// its own above the app's, and the keyboard notices tell the app about it.
class Keyboard {
public:
    static Keyboard& shared();

    // Starts following the first responder (the application does this, and
    // again after the event hub is cleared).
    void install();

    bool isVisible() const { return _visible; }
    // Screen coordinates; below the screen while hidden.
    Rect frame() const;
    double height() const;
    std::shared_ptr<Window> window() const { return _window; }
    std::shared_ptr<View> keyboardView() const { return _view; }

    void show();
    void hide();

    // Forgets the window and state (between tests).
    void reset();

    static constexpr double kPhoneHeight = 216;
    static constexpr double kTabletHeight = 264;
    static constexpr double kAnimationDuration = 0.25;

private:
    Keyboard() = default;
    Rect shownFrame() const;
    Rect hiddenFrame() const;
    void ensureWindow();

    bool _visible = false;
    std::uint64_t _generation = 0; // a newer show or hide makes older completions stale
    std::shared_ptr<Window> _window;
    std::shared_ptr<View> _view;
    Subscription _following;
};

} // namespace vq
