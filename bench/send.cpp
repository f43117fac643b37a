#include "app/AppDelegate.h"
#include "app/ViewController.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/RunLoop.h"
#include "system/Application.h"
#include "system/Device.h"
#include "system/TestReset.h"
#include "ui/TextView.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

using namespace vq;

namespace {

// A just-started headless phone at 7.0 with its files in a scratch folder.
std::shared_ptr<app::AppDelegate> launch()
{
    static const std::filesystem::path root = [] {
        setLogToStderr(false);
        RunLoop::main().adoptCurrentThread();
        char pattern[] = "/tmp/vq-bench-send-XXXXXX";
        const char* dir = mkdtemp(pattern);
        return std::filesystem::path(dir ? dir : "/tmp");
    }();
    resetForTests();
    Device::current().setProfile(DeviceProfile::Phone);
    Device::current().setSystemVersion("7.0");
    Paths::setDataRoot(root);
    auto delegate = std::make_shared<app::AppDelegate>();
    Application::shared().setDelegate(delegate);
    Application::shared().launch();
    return delegate;
}

// The card, its render and the JPEG, as one send makes them: a texture
// (shrunk from its 2x picture) or a plain colour behind the text.
void BM_SendPicturePhone(benchmark::State& state, bool texture)
{
    auto delegate = launch();
    auto& editor = *delegate->viewController();
    if (texture)
        editor.changeTextureView("12");
    else
        editor.changeBgColor(Color::rgb255(40, 90, 200));
    editor.textView()->setText("See you at eight, bring the cake!");
    for (auto _ : state) {
        auto picture = editor.renderMessagePicture();
        benchmark::DoNotOptimize(picture.data());
    }
}
BENCHMARK_CAPTURE(BM_SendPicturePhone, texture, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SendPicturePhone, colour, false)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
