#include "core/Log.h"
#include "core/RunLoop.h"
#include "graphics/Image.h"
#include "graphics/Screen.h"
#include "options/OptionsView.h"
#include "options/OptionsViewDelegate.h"
#include "system/Application.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// Takes every pick so the random style does its full delegate traffic.
class SinkDelegate : public vq::OptionsViewDelegate {
public:
    void changeTextColor(const vq::Color& color) override { benchmark::DoNotOptimize(color); }
    void changeBgColor(const vq::Color& color) override { benchmark::DoNotOptimize(color); }
    void changeTextureView(const std::string& name) override { benchmark::DoNotOptimize(name.size()); }
    void changeFont(const vq::Font& font) override { benchmark::DoNotOptimize(font.pointSize()); }
    void resign() override {}
};

vq::Rect phonePanelFrame()
{
    vq::Rect screen = vq::Screen::main().bounds();
    return {{0, screen.size.height - 263}, {screen.size.width, 263}};
}

bool prepare(benchmark::State& state)
{
    vq::setLogToStderr(false);
    vq::RunLoop::main().adoptCurrentThread();
    vq::RunLoop::main().useManualClock(0);
    vq::Application::shared().setDeviceProfile(vq::DeviceProfile::Phone);
    // Without the artwork the panel would skip its image work and time too little.
    if (!vq::Image::imageNamed("bg-1") || !vq::Image::imageNamed("T-90")) {
        state.SkipWithError("artwork not found; build the artwork target");
        return false;
    }
    return true;
}

void BM_RandomStyle(benchmark::State& state)
{
    if (!prepare(state))
        return;
    auto panel = vq::OptionsView::create(phonePanelFrame());
    auto delegate = std::make_shared<SinkDelegate>();
    panel->setDelegate(delegate);
    for (auto _ : state)
        panel->random();
}
BENCHMARK(BM_RandomStyle)->Unit(benchmark::kMicrosecond);

void BM_BuildPanel(benchmark::State& state)
{
    if (!prepare(state))
        return;
    vq::Rect frame = phonePanelFrame();
    for (auto _ : state) {
        auto panel = vq::OptionsView::create(frame);
        benchmark::DoNotOptimize(panel.get());
    }
}
BENCHMARK(BM_BuildPanel)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
