#pragma once

#include "graphics/Screen.h"
#include "options/OptionsView.h"
#include "options/OptionsViewDelegate.h"
#include "support/Harness.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vq::test {

// Records what the panel tells the editor, in order.
class RecordingOptionsDelegate : public OptionsViewDelegate {
public:
    struct Call {
        std::string op; // "textColor", "bgColor", "texture", "font", "resign"
        std::optional<Color> color;
        std::string texture;
        std::optional<Font> font;
    };

    void changeTextColor(const Color& color) override { calls.push_back({"textColor", color, {}, {}}); }
    void changeBgColor(const Color& color) override { calls.push_back({"bgColor", color, {}, {}}); }
    void changeTextureView(const std::string& name) override { calls.push_back({"texture", {}, name, {}}); }
    void changeFont(const Font& font) override { calls.push_back({"font", {}, {}, font}); }
    void resign() override { calls.push_back({"resign", {}, {}, {}}); }

    std::vector<std::string> ops() const
    {
        std::vector<std::string> out;
        for (const auto& c : calls)
            out.push_back(c.op);
        return out;
    }

    std::vector<Call> calls;
};

// A panel at the bottom of the screen of the chosen device, in a key window,
// with a recording delegate.
struct PanelOnScreen {
    explicit PanelOnScreen(DeviceProfile profile = DeviceProfile::Phone,
                           std::optional<std::vector<std::string>> fonts = std::nullopt)
        : harness(profile)
    {
        window = harness.makeWindow();
        Rect screen = Screen::main().bounds();
        double height = profile == DeviceProfile::Tablet ? 523 : profile == DeviceProfile::Tall ? 302 : 263;
        Rect frame{{0, screen.size.height - height}, {screen.size.width, height}};
        panel = fonts ? OptionsView::create(frame, *fonts) : OptionsView::create(frame);
        window->rootViewController()->view()->addSubview(panel);
        panel->setDelegate(delegate);
    }

    std::shared_ptr<View> swatch(const std::shared_ptr<ScrollView>& board, int n) const { return board->viewWithTag(n); }
    std::shared_ptr<View> mark(const std::shared_ptr<ScrollView>& page) const
    {
        return page->viewWithTag(OptionsView::kSelectionMarkTag);
    }
    // Where a control of a page shows on screen.
    Point onScreen(const std::shared_ptr<View>& v) const { return v->superview()->convertPointTo(v->center(), nullptr); }

    Harness harness;
    std::shared_ptr<Window> window;
    std::shared_ptr<OptionsView> panel;
    std::shared_ptr<RecordingOptionsDelegate> delegate = std::make_shared<RecordingOptionsDelegate>();
};

} // namespace vq::test
