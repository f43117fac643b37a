#pragma once

#include "core/Geometry.h"
#include "graphics/Color.h"
#include "support/TempDir.h"
#include "system/Device.h"

#include <memory>
#include <string>

namespace vq {
class Application;
class Image;
class ViewController;
class Window;
} // namespace vq

namespace vq::test {

// A freshly started headless application for one test: manual clock, a
// device profile, empty user defaults in a temporary data folder, no windows,
// no delegate, no first responder, keyboard down and no alerts (the
// platform's resetForTests). Input goes through the real touch dispatcher and
// key input; pixels come from a real render of every window. Everything is
// reset again when it goes away.
class Harness {
public:
    explicit Harness(DeviceProfile profile = DeviceProfile::Phone);
    ~Harness();
    Harness(const Harness&) = delete;
    Harness& operator=(const Harness&) = delete;

    Application& app() const;
    const TempDir& dataRoot() const { return _root; }

    // A screen-sized key window showing root (a plain controller when null).
    std::shared_ptr<Window> makeWindow(std::shared_ptr<ViewController> root = nullptr);

    // Input in screen points.
    void tap(double x, double y);
    void drag(Point from, Point to, int steps = 10);
    void type(const std::string& utf8);
    void paste(const std::string& utf8);
    void backspace();

    // Moves the manual clock, firing what falls due.
    void advance(double seconds);

    // Every window drawn in order at the device scale.
    std::shared_ptr<Image> render() const;
    // The colour at a point of a fresh render, or of one already made.
    Color pixel(double x, double y) const;
    static Color pixel(const Image& render, double x, double y);

private:
    TempDir _root;
};

// Colours within tolerance (0..1 per component), for pixel reads.
bool nearColor(Color a, Color b, float tolerance = 0.02f);

} // namespace vq::test
