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
#include <string>

using namespace vq;

namespace {

// A just-started headless phone with its files in a scratch folder.
void reset()
{
    static const std::filesystem::path root = [] {
        setLogToStderr(false);
        RunLoop::main().adoptCurrentThread();
        char pattern[] = "/tmp/vq-bench-editor-XXXXXX";
        const char* dir = mkdtemp(pattern);
        return std::filesystem::path(dir ? dir : "/tmp");
    }();
    resetForTests();
    Device::current().setProfile(DeviceProfile::Phone);
    Paths::setDataRoot(root);
}

std::shared_ptr<app::AppDelegate> launch()
{
    reset();
    auto delegate = std::make_shared<app::AppDelegate>();
    Application::shared().setDelegate(delegate);
    Application::shared().launch();
    return delegate;
}

void BM_LaunchToEditor(benchmark::State& state)
{
    // Warms the font map and the named images.
    launch();
    for (auto _ : state) {
        state.PauseTiming();
        reset();
        auto delegate = std::make_shared<app::AppDelegate>();
        Application::shared().setDelegate(delegate);
        state.ResumeTiming();
        Application::shared().launch();
        benchmark::DoNotOptimize(delegate->viewController()->textView().get());
    }
    reset();
}
BENCHMARK(BM_LaunchToEditor)->Unit(benchmark::kMillisecond);

void BM_AcceptedKeystroke(benchmark::State& state)
{
    auto delegate = launch();
    auto& vc = *delegate->viewController();
    auto& text = *vc.textView();
    // 100 characters that fit the message at a small font.
    vc.changeFont(Font::systemFont(6));
    std::string base(100, 'a');
    for (std::size_t i = 7; i < base.size(); i += 8)
        base[i] = ' ';
    text.becomeFirstResponder();
    Application::shared().pasteText(base);
    if (text.text() != base)
        state.SkipWithError("the message was not accepted");
    for (auto _ : state) {
        text.insertText("b");
        state.PauseTiming();
        text.setText(base);
        text.setSelectedRange({base.size(), 0});
        state.ResumeTiming();
    }
    reset();
}
BENCHMARK(BM_AcceptedKeystroke)->Unit(benchmark::kMicrosecond);

void BM_FontChangeTrims400(benchmark::State& state)
{
    auto delegate = launch();
    auto& vc = *delegate->viewController();
    std::string base;
    while (base.size() < 400)
        base += "velvet quill ";
    base.resize(400);
    vc.changeFont(Font::systemFont(4));
    vc.textView()->becomeFirstResponder();
    Application::shared().pasteText(base);
    if (vc.previousText() != base)
        state.SkipWithError("the message was not accepted");
    Font small = Font::systemFont(4), big = Font::systemFont(17);
    for (auto _ : state) {
        vc.changeFont(big);
        state.PauseTiming();
        if (vc.textView()->text().size() >= base.size())
            state.SkipWithError("nothing was trimmed");
        vc.changeFont(small);
        state.ResumeTiming();
    }
    reset();
}
BENCHMARK(BM_FontChangeTrims400)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
