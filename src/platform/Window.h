#pragma once

#include "platform/View.h"

#include <memory>

namespace vq {

class ViewController;

enum class WindowLevel { Normal = 0, StatusBar = 1000, Alert = 2000 };

// A top-level view on the screen. Windows register with the application in
// creation order; its bounds' coordinates are window coordinates.
class Window : public View {
public:
    // Creates and registers the window with the application.
    static std::shared_ptr<Window> create(Rect frame);
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
