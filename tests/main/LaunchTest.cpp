// Every launch option reaches the app, in each host alike.
#include "main/HostFixture.h"
#include "main/Launch.h"

#include "core/EventHub.h"
#include "core/Paths.h"
#include "core/RunLoop.h"
#include "graphics/Screen.h"
#include "support/ReadJson.h"
#include "support/TempDir.h"
#include "system/Application.h"
#include "system/Device.h"
#include "system/MessageComposer.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/wait.h>

#if defined(VQ_APP_BINARY) && defined(VQ_APP_HAS_EDITOR)
#include "graphics/Image.h"
#endif

namespace vq::test {

namespace {

std::vector<Json> jsonLines(const std::filesystem::path& path)
{
    std::vector<Json> lines;
    std::istringstream in(slurp(path));
    for (std::string line; std::getline(in, line);)
        if (auto json = parseJson(line))
            lines.push_back(std::move(*json));
    return lines;
}

std::string hostName(const ::testing::TestParamInfo<bool>& host) { return host.param ? "Headless" : "Window"; }

} // namespace

// The shared start-up itself, in process: what each option sets, for either host.
class LaunchAppTest : public HostFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(LaunchAppTest, EveryOptionIsAppliedBeforeTheDelegateAndTheAppIsLaunched)
{
    LaunchOptions options;
    options.headless = GetParam();
    options.device = DeviceProfile::Tablet;
    options.systemVersion = "6.1";
    options.dataDir = _dir / "data";
    options.installedSchemes = {"fb"};
    options.eventsFile = _dir / "events" / "run.jsonl";
    options.composer = ComposerBehaviour::Refuse;

    // The events file is one listener among others: it takes no one's place.
    std::vector<std::string> heardHere;
    auto mine = EventHub::shared().subscribe<URLOpened>([&](const URLOpened& e) { heardHere.push_back(e.url); });

    // What the window host's ready step and the delegate see.
    std::optional<Size> screenAtReady;
    bool delegateMadeAfterReady = false;
    auto launched = launchApp(
        options,
        [&] {
            delegateMadeAfterReady = screenAtReady.has_value();
            _app = std::make_shared<TestApp>();
            return _app;
        },
        std::cerr,
        [&]() -> std::optional<int> {
            screenAtReady = Screen::main().bounds().size;
            return std::nullopt;
        });
    ASSERT_TRUE(std::holds_alternative<LaunchedApp>(launched));
    auto& app = Application::shared();
    EXPECT_EQ(std::get<LaunchedApp>(launched).delegate, _app);
    EXPECT_EQ(app.delegate(), _app);
    EXPECT_EQ(app.applicationState(), ApplicationState::Active);
    EXPECT_TRUE(delegateMadeAfterReady);
    EXPECT_EQ(screenAtReady, (Size{768, 1024}));

    EXPECT_EQ(Device::current().profile(), DeviceProfile::Tablet);
    EXPECT_EQ(Device::current().systemVersion(), "6.1");
    EXPECT_TRUE(app.canOpenURL("fb://profile"));
    EXPECT_FALSE(app.canOpenURL("twitter://post"));
    EXPECT_EQ(MessageComposer::mode(), MessageComposer::Mode::Refuse);
    EXPECT_TRUE(std::filesystem::is_directory(Paths::dataDir()));
    EXPECT_EQ(Paths::dataDir().string().rfind((_dir / "data").string(), 0), 0u) << Paths::dataDir();
    EXPECT_EQ(RunLoop::main().hasManualClock(), options.headless);

    // The events file listens from the start.
    app.openURL("fb://profile");
    auto events = jsonLines(*options.eventsFile);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().at("type").get<std::string>(), "open-url");
    EXPECT_EQ(events.back().at("url").get<std::string>(), "fb://profile");
    EXPECT_EQ(heardHere, std::vector<std::string>{"fb://profile"});
}

TEST_P(LaunchAppTest, AReadyStepThatFailsStopsTheLaunchWithItsStatus)
{
    LaunchOptions options;
    options.headless = GetParam();
    options.dataDir = _dir / "data";
    bool delegateMade = false;
    auto launched = launchApp(
        options,
        [&] {
            delegateMade = true;
            return std::make_shared<TestApp>();
        },
        std::cerr, [] { return std::optional<int>(1); });
    ASSERT_TRUE(std::holds_alternative<int>(launched));
    EXPECT_EQ(std::get<int>(launched), 1);
    EXPECT_FALSE(delegateMade);
    EXPECT_EQ(Application::shared().applicationState(), ApplicationState::Inactive);
}

INSTANTIATE_TEST_SUITE_P(Hosts, LaunchAppTest, ::testing::Values(true, false),
                         hostName);

#if defined(VQ_APP_BINARY) && defined(VQ_APP_HAS_EDITOR)

// The built program with the real editor, headless and in a window under a
// virtual X server: one script and one set of options must come out the same.
class BothHosts : public ::testing::TestWithParam<bool> {
protected:
    bool headless() const { return GetParam(); }

    void SetUp() override
    {
        if (headless())
            return;
        if (std::system("{ command -v xvfb-run && command -v xdotool; } >/dev/null 2>&1") == 0)
            return;
        const char* ci = std::getenv("CI");
        if (ci && std::string(ci) == "true")
            FAIL() << "xvfb-run or xdotool is missing (scripts/install-deps installs them)";
        GTEST_SKIP() << "xvfb-run or xdotool is not installed";
    }

    struct Seen {
        std::optional<Json> dump;
        std::vector<std::string> events;
        std::string geometry; // the window's, in X pixels
    };

    // Runs script (a dump is added at its end) with the options; the events
    // are described without times, logs or analytics.
    ::testing::AssertionResult run(const std::string& script, const std::string& options, Seen& seen)
    {
        auto dumpPath = _dir / "views.json";
        std::ofstream(_dir / "session.vqs") << script << fmt::format("dump \"{}\"\n", dumpPath.string())
                                            << (headless() ? "" : "wait 60\n");
        std::string app = fmt::format("'{}' {} --data-dir '{}' --events '{}' --script '{}'", VQ_APP_BINARY, options,
                                      dataDir().string(), (_dir / "events.jsonl").string(),
                                      (_dir / "session.vqs").string());
        std::string command;
        if (headless()) {
            command = fmt::format("ASAN_OPTIONS=detect_leaks=0 timeout 120 {} --headless 2>'{}'", app,
                                  (_dir / "app.err").string());
        } else {
            std::ofstream(_dir / "session.sh") << fmt::format(
                "{app} 2>'{dir}/app.err' &\n"
                "app=$!\n"
                "win=$(xdotool search --sync --onlyvisible --name 'Velvet Quill' | head -1)\n"
                "xdotool getwindowgeometry $win >'{dir}/geometry.txt'\n"
                "for i in $(seq 300); do [ -f '{dump}' ] && break; kill -0 $app || break; sleep 0.1; done\n"
                "sleep 0.3\n"
                "kill $app\n"
                "wait $app\n"
                "[ -f '{dump}' ]\n",
                fmt::arg("app", app), fmt::arg("dir", _dir.path().string()), fmt::arg("dump", dumpPath.string()));
            command = fmt::format("ASAN_OPTIONS=detect_leaks=0 timeout 120 xvfb-run -a -s '-screen 0 1280x1280x24' "
                                  "sh '{}' >'{}' 2>&1",
                                  (_dir / "session.sh").string(), (_dir / "xvfb.log").string());
        }
        int raw = std::system(command.c_str());
        if (!WIFEXITED(raw) || WEXITSTATUS(raw) != 0)
            return ::testing::AssertionFailure() << "exit " << raw << "\n" << slurp(_dir / "xvfb.log")
                                                 << "\napp: " << slurp(_dir / "app.err");
        seen.dump = parseJson(slurp(dumpPath));
        seen.geometry = slurp(_dir / "geometry.txt");
        for (const auto& event : jsonLines(_dir / "events.jsonl"))
            if (auto text = describe(event))
                seen.events.push_back(*text);
        return ::testing::AssertionSuccess();
    }

    std::filesystem::path dataDir() const { return _dir / "data"; }

    std::optional<std::string> describe(const Json& event) const
    {
        const std::string& type = event.at("type").get<std::string>();
        auto where = [this](const Json& path) {
            return path.get<std::string>().rfind(dataDir().string() + "/", 0) == 0 ? "in the data folder" : "elsewhere";
        };
        if (type == "attachment")
            return fmt::format("attachment {}x{} {}", event.at("width").get<double>(), event.at("height").get<double>(),
                               where(event.at("path")));
        if (type == "composer-finished")
            return "composer-finished " + event.at("result").get<std::string>();
        if (type == "alert") {
            std::vector<std::string> buttons;
            for (const auto& b : event.at("buttons"))
                buttons.push_back(b.get<std::string>());
            return fmt::format("alert {} [{}]", event.at("title").get<std::string>(), fmt::join(buttons, ", "));
        }
        if (type == "pasteboard")
            return fmt::format("pasteboard {}", where(event.at("path")));
        if (type == "open-url")
            return "open-url " + event.at("url").get<std::string>();
        return std::nullopt;
    }

    static Size windowSize(const Json& dump)
    {
        const Json& frame = dump.at("windows").at(0).at("frame");
        return {frame.at(2).get<double>(), frame.at(3).get<double>()};
    }

    TempDir _dir;
};

TEST_P(BothHosts, DeviceComposerZoomDataAndEventsOptionsReachTheApp)
{
    Seen seen;
    ASSERT_TRUE(run("tap message\ntype \"Hi\"\ntap send\nwait 1\ntap composer-send\nwait 1\n",
                    "--device tall --composer fail --zoom 1.5", seen));
    ASSERT_TRUE(seen.dump);
    EXPECT_EQ(windowSize(*seen.dump), (Size{320, 568}));
    // The composer took the picture and failed as told.
    EXPECT_EQ(seen.events, (std::vector<std::string>{"attachment 340x340 in the data folder", "composer-finished failed",
                                                     "alert Error [OK]"}));
    if (!headless()) {
        EXPECT_NE(seen.geometry.find("480x852"), std::string::npos) << seen.geometry;
    }
}

TEST_P(BothHosts, SystemVersionReachesTheApp)
{
    Seen seen;
    ASSERT_TRUE(run("tap message\ntype \"Hi\"\ntap send\nwait 1\nalert 1\nwait 1\n",
                    "--device tablet --system-version 6.1", seen));
    ASSERT_TRUE(seen.dump);
    EXPECT_EQ(windowSize(*seen.dump), (Size{768, 1024}));
    // Before 7.0 the picture goes to the pasteboard, only the strip as tall as the text.
    EXPECT_EQ(seen.events, (std::vector<std::string>{"pasteboard in the data folder", "alert Send to Contact [OK, Send]",
                                                     "open-url sms://"}));
    auto picture = Image::imageWithContentsOfFile(dataDir() / "data" / "pasteboard" / "latest.jpg");
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixelWidth(), 430);
    EXPECT_LT(picture->pixelHeight(), 430);
}

INSTANTIATE_TEST_SUITE_P(Hosts, BothHosts, ::testing::Values(true, false),
                         hostName);

#endif

} // namespace vq::test
