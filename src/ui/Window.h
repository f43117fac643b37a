#pragma once

#include "ui/View.h"

#include <memory>
#include <vector>

namespace vq {

class ViewController;

enum class WindowLevel { Normal = 0, StatusBar = 1000, Alert = 2000 };

// A top-level view on the screen; its bounds' coordinates are window
// coordinates. The screen's windows are held here, in the order they came on.
class Window : public View {
public:
    // Creates the window and puts it on the screen.
    static std::shared_ptr<Window> create(Rect frame);

    // The windows on the screen, back to front by arrival; they are held here.
    static const std::vector<std::shared_ptr<Window>>& onScreen();
    static std::shared_ptr<Window> keyWindow();
    // Back on the screen (in front) if it was taken off; a no-op if it is on.
    static void putOnScreen(const std::shared_ptr<Window>& window);
    void takeOffScreen() const;
    // No windows and no key window (between tests).
    static void clearScreenForTests();
    ~Window() override;

    const char* className() const override { return "Window"; }
    bool isWindow() const override { return true; }

    WindowLevel windowLevel() const { return _level; }
    void setWindowLevel(WindowLevel level);

    std::shared_ptr<ViewController> rootViewController() const { return _rootViewController; }
    void setRootViewController(std::shared_ptr<ViewController> controller);

    void makeKeyWindow();
    void makeKeyAndVisible();
    bool isKeyWindow() const;

protected:
    explicit Window(Rect frame);

private:
    WindowLevel _level = WindowLevel::Normal;
    std::shared_ptr<ViewController> _rootViewController;
};

} // namespace vq
