#include "support/Harness.h"

#include "core/Paths.h"
#include "core/RunLoop.h"
#include "graphics/Image.h"
#include "graphics/Screen.h"
#include "system/Application.h"
#include "system/TestReset.h"
#include "ui/Renderer.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

#include <cmath>

namespace vq::test {

Harness::Harness(DeviceProfile profile)
{
    resetForTests();
    Device::current().setProfile(profile);
    Paths::setDataRoot(_root.path());
}

Harness::~Harness()
{
    resetForTests();
    // Tests without a harness run on real time.
    RunLoop::main().useSystemClock();
}

Application& Harness::app() const { return Application::shared(); }

std::shared_ptr<Window> Harness::makeWindow(std::shared_ptr<ViewController> root)
{
    auto window = Window::create(Screen::main().bounds());
    window->setRootViewController(root ? std::move(root) : ViewController::create());
    window->makeKeyAndVisible();
    return window;
}

void Harness::tap(double x, double y) { app().tapAt({x, y}); }

void Harness::drag(Point from, Point to, int steps) { app().dragFrom(from, to, steps); }

void Harness::type(const std::string& utf8) { app().typeText(utf8); }

void Harness::paste(const std::string& utf8) { app().pasteText(utf8); }

void Harness::backspace() { app().pressBackspace(); }

void Harness::advance(double seconds) { RunLoop::main().advance(seconds); }

std::shared_ptr<Image> Harness::render() const
{
    return renderWindows(app().windows(), Screen::main().bounds().size, Screen::main().scale());
}

Color Harness::pixel(double x, double y) const { return pixel(*render(), x, y); }

Color Harness::pixel(const Image& render, double x, double y)
{
    double scale = render.scale();
    return render.pixelAt(static_cast<int>(std::floor(x * scale)), static_cast<int>(std::floor(y * scale)));
}

bool nearColor(Color a, Color b, float tolerance)
{
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance &&
           std::abs(a.a - b.a) <= tolerance;
}

} // namespace vq::test
