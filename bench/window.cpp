// The desktop window: frames while the swatch board scrolls, and what an
// idle window costs. Both need a display (DISPLAY or WAYLAND_DISPLAY; run
// under xvfb-run otherwise).
#include "app/AppDelegate.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/RunLoop.h"
#include "graphics/Screen.h"
#include "main/ScreenTexture.h"
#include "main/SdlOwners.h"
#include "system/Application.h"
#include "ui/ScrollView.h"
#include "ui/Window.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <csignal>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

bool haveDisplay() { return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY"); }

// A fresh data folder, so the runs start from a new user's settings.
std::string freshFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "vq-bench-XXXXXX").string();
    return mkdtemp(pattern.data()) ? pattern : std::string();
}

// The editor, launched once for every run of the frame benchmark.
std::shared_ptr<vq::ScrollView> launchedBoard()
{
    static std::shared_ptr<vq::ScrollView> board;
    if (board)
        return board;
    vq::setLogToStderr(false);
    vq::Paths::setDataRoot(freshFolder());
    vq::Application::prepareDataFolders();
    vq::RunLoop::main().adoptCurrentThread();
    vq::RunLoop::main().useManualClock(0);
    auto& app = vq::Application::shared();
    app.setDeviceProfile(vq::DeviceProfile::Phone);
    app.setDelegate(std::make_shared<vq::app::AppDelegate>());
    app.launch();
    vq::RunLoop::main().advance(1);
    for (const auto& window : app.windows())
        if (auto view = std::dynamic_pointer_cast<vq::ScrollView>(window->viewWithTag(1024)))
            board = view;
    return board;
}

void BM_ScrollFrame(benchmark::State& state)
{
    if (!haveDisplay()) {
        state.SkipWithError("no display");
        return;
    }
    vq::SdlVideo video;
    if (!video.started()) {
        state.SkipWithError("no display");
        return;
    }
    auto board = launchedBoard();
    if (!board) {
        state.SkipWithError("the text colour board was not found");
        return;
    }
    vq::Size size = vq::Screen::main().bounds().size;
    vq::SdlWindow window(SDL_CreateWindow("bench", 0, 0, static_cast<int>(size.width),
                                          static_cast<int>(size.height), SDL_WINDOW_SHOWN));
    vq::SdlRenderer renderer(window ? SDL_CreateRenderer(window.get(), -1, 0) : nullptr);
    if (!renderer) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    {
        vq::ScreenTexture screen(renderer.get());
        double max = board->maxContentOffset().y;
        if (max <= 0) {
            state.SkipWithError("the board has nothing to scroll");
            return;
        }
        state.SetLabel(fmt::format("scrolling {} points", max));
        double y = 0;
        double step = 6;
        for (auto _ : state) {
            if (y + step > max || y + step < 0)
                step = -step;
            y += step;
            board->setContentOffset({0, y});
            if (auto error = screen.update(vq::Screen::main().scale())) {
                state.SkipWithError(error->c_str());
                break;
            }
            SDL_RenderCopy(renderer.get(), screen.texture(), nullptr, nullptr);
            SDL_RenderPresent(renderer.get());
        }
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScrollFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// Clock ticks of user and system time the process has used.
long cpuTicks(pid_t pid)
{
    std::ifstream in(fmt::format("/proc/{}/stat", pid));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Fields after the command name, which may hold spaces: state is field 3, utime 14, stime 15.
    std::istringstream rest(text.substr(text.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14)
            utime = std::stol(field);
        if (i == 15)
            stime = std::stol(field);
    }
    return utime + stime;
}

#ifdef VQ_APP_BINARY
// The real program, left alone with the editor on screen for 10 s.
void BM_IdleWindowCpu(benchmark::State& state)
{
    if (!haveDisplay()) {
        state.SkipWithError("no display");
        return;
    }
    std::string dir = freshFolder() + "/data";
    constexpr double kIdleSeconds = 10;
    double percent = 0;
    for (auto _ : state) {
        pid_t pid = fork();
        if (pid == 0) {
            execl(VQ_APP_BINARY, VQ_APP_BINARY, "--data-dir", dir.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        // Startup (fonts, artwork, the first frame) is not idling.
        std::this_thread::sleep_for(std::chrono::seconds(3));
        long before = cpuTicks(pid);
        std::this_thread::sleep_for(std::chrono::duration<double>(kIdleSeconds));
        long after = cpuTicks(pid);
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
        percent = 100.0 * static_cast<double>(after - before) / static_cast<double>(sysconf(_SC_CLK_TCK)) / kIdleSeconds;
    }
    state.counters["idle_cpu_percent"] = percent;
}
BENCHMARK(BM_IdleWindowCpu)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
#endif

} // namespace

BENCHMARK_MAIN();
