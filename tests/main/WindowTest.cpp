// The real window under a virtual X server: what X shows is the editor.
#if defined(VQ_APP_BINARY) && defined(VQ_APP_HAS_EDITOR)

#include "core/PropertyList.h"
#include "graphics/Color.h"
#include "graphics/Image.h"
#include "main/X11Clipboard.h"
#include "support/Harness.h" // nearColor
#include "support/LoopbackServer.h"
#include "support/ReadJson.h"
#include "support/TempDir.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <sys/wait.h>
#include <vector>

namespace vq::test {

namespace {

// An X window dump (xwd's format) in true colour, as RGB pixels.
struct XImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rgb; // 0xRRGGBB

    Color at(int x, int y) const
    {
        std::uint32_t p = rgb[static_cast<std::size_t>(y) * width + x];
        return Color::rgb255((p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff);
    }
};

std::optional<XImage> readXwd(const std::string& bytes)
{
    auto card = [&bytes](std::size_t i) {
        std::uint32_t v = 0;
        for (int b = 0; b < 4; ++b)
            v = v << 8 | static_cast<unsigned char>(bytes[i * 4 + b]);
        return v;
    };
    if (bytes.size() < 100)
        return std::nullopt;
    std::uint32_t headerSize = card(0), format = card(2), width = card(4), height = card(5), byteOrder = card(7),
                  bitsPerPixel = card(11), bytesPerLine = card(12), redMask = card(14), greenMask = card(15),
                  blueMask = card(16), colours = card(19);
    // ZPixmap at 32 bits per pixel: what a 24-bit X screen gives.
    if (format != 2 || bitsPerPixel != 32)
        return std::nullopt;
    std::size_t start = headerSize + colours * 12;
    if (bytes.size() < start + static_cast<std::size_t>(bytesPerLine) * height)
        return std::nullopt;
    auto channel = [](std::uint32_t p, std::uint32_t mask) {
        int shift = 0;
        while (mask && !(mask >> shift & 1))
            ++shift;
        return (p & mask) >> shift;
    };
    XImage image{static_cast<int>(width), static_cast<int>(height), {}};
    image.rgb.reserve(static_cast<std::size_t>(width) * height);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const auto* px = reinterpret_cast<const unsigned char*>(bytes.data() + start + y * bytesPerLine + x * 4);
            std::uint32_t p = byteOrder == 0 ? px[0] | px[1] << 8 | px[2] << 16 | static_cast<std::uint32_t>(px[3]) << 24
                                             : static_cast<std::uint32_t>(px[0]) << 24 | px[1] << 16 | px[2] << 8 | px[3];
            image.rgb.push_back(channel(p, redMask) << 16 | channel(p, greenMask) << 8 | channel(p, blueMask));
        }
    }
    return image;
}

const Json* findView(const Json& view, const std::function<bool(const Json&)>& match)
{
    if (match(view))
        return &view;
    for (const auto& child : view.at("children"))
        if (auto* found = findView(child, match))
            return found;
    return nullptr;
}

struct ScreenRect {
    double x, y, w, h;
};

ScreenRect screenRectOf(const Json& view)
{
    const Json& r = view.at("screen");
    return {r.at(0).get<double>(), r.at(1).get<double>(), r.at(2).get<double>(), r.at(3).get<double>()};
}

} // namespace

// Runs the app under a fresh X server with a script whose dump marks the
// moment to look; actions (shell, $win is the app's window) run once the
// window is up, then the window is dumped with xwd.
class XWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::system("{ command -v xvfb-run && command -v xwd && command -v xdotool && command -v xclip; } >/dev/null 2>&1") == 0)
            return;
        const char* ci = std::getenv("CI");
        if (ci && std::string(ci) == "true")
            FAIL() << "xvfb-run, xwd, xdotool or xclip is missing (scripts/install-deps installs them)";
        GTEST_SKIP() << "xvfb-run, xwd, xdotool or xclip is not installed";
    }

    ::testing::AssertionResult runSession(const std::string& script, const std::string& actions,
                                          const std::string& options = "")
    {
        std::ofstream(_dir / "session.vqs") << script << fmt::format("dump \"{}\"\nwait 60\n", (_dir / "views.json").string());
        std::ofstream(_dir / "session.sh") << fmt::format(
            "'{app}' {options} --data-dir '{dir}/data' --script '{dir}/session.vqs' 2>'{dir}/app.err' &\n"
            "app=$!\n"
            "win=$(xdotool search --sync --onlyvisible --name 'Velvet Quill' | head -1)\n"
            "sleep 1\n"
            "{actions}\n"
            "for i in $(seq 300); do [ -f '{dir}/views.json' ] && break; kill -0 $app || break; sleep 0.1; done\n"
            "sleep 0.5\n"
            "xwd -silent -name 'Velvet Quill' -out '{dir}/window.xwd'\n"
            "status=$?\n"
            "kill $app\n"
            "wait $app\n"
            "exit $status\n",
            fmt::arg("app", VQ_APP_BINARY), fmt::arg("dir", _dir.path().string()), fmt::arg("actions", actions),
            fmt::arg("options", options));
        std::string command = fmt::format("ASAN_OPTIONS=detect_leaks=0 timeout 120 xvfb-run -a -s '-screen 0 1024x1024x24' "
                                          "sh '{}' >'{}' 2>&1",
                                          (_dir / "session.sh").string(), (_dir / "xvfb.log").string());
        int raw = std::system(command.c_str());
        if (WIFEXITED(raw) && WEXITSTATUS(raw) == 0)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << slurp(_dir / "xvfb.log") << "\napp: " << slurp(_dir / "app.err");
    }

    // A fake xdg-open first on PATH, which writes down the links it gets.
    void fakeBrowser()
    {
        std::filesystem::create_directories(_dir / "bin");
        std::ofstream(_dir / "bin/xdg-open") << fmt::format("#!/bin/sh\necho \"$1\" >> '{}'\n", opened().string());
        std::filesystem::permissions(_dir / "bin/xdg-open", std::filesystem::perms::owner_all);
        _path = std::getenv("PATH") ? std::getenv("PATH") : "";
        setenv("PATH", ((_dir / "bin").string() + ":" + _path).c_str(), 1);
    }
    void TearDown() override
    {
        if (!_path.empty())
            setenv("PATH", _path.c_str(), 1);
    }
    std::filesystem::path opened() const { return _dir / "opened.txt"; }

    // Shell lines: once a card is at saved (a pattern), what the clipboard holds goes to clip.*.
    std::string readClipboardOnce(const std::string& saved) const
    {
        return fmt::format("for i in $(seq 100); do ls {saved} >/dev/null 2>&1 && break; sleep 0.1; done\n"
                           "sleep 0.5\n"
                           "xclip -selection clipboard -t TARGETS -o > '{dir}/clip.targets'\n"
                           "xclip -selection clipboard -t image/png -o > '{dir}/clip.png'\n"
                           "xclip -selection clipboard -t image/jpeg -o > '{dir}/clip.jpg'\n",
                           fmt::arg("saved", saved), fmt::arg("dir", _dir.path().string()));
    }

    // The clipboard gave the saved JPEG as it is and a PNG of the same pixels.
    void expectClipboardHolds(const std::filesystem::path& saved)
    {
        std::string jpeg = slurp(saved);
        ASSERT_FALSE(jpeg.empty()) << saved;
        EXPECT_EQ(slurp(_dir / "clip.jpg"), jpeg);
        std::string targets = slurp(_dir / "clip.targets");
        EXPECT_NE(targets.find("image/png"), std::string::npos) << targets;
        EXPECT_NE(targets.find("image/jpeg"), std::string::npos) << targets;
        auto png = Image::imageWithContentsOfFile(_dir / "clip.png");
        auto card = Image::imageWithContentsOfFile(saved);
        ASSERT_TRUE(png && card);
        EXPECT_TRUE(slurp(_dir / "clip.png").starts_with("\x89PNG"));
        ASSERT_EQ(png->pixelWidth(), card->pixelWidth());
        ASSERT_EQ(png->pixelHeight(), card->pixelHeight());
        int differing = 0;
        for (int y = 0; y < card->pixelHeight(); ++y)
            for (int x = 0; x < card->pixelWidth(); ++x)
                differing += !(png->pixelAt(x, y) == card->pixelAt(x, y));
        EXPECT_EQ(differing, 0);
    }

    TempDir _dir;
    std::string _path;
};

TEST_F(XWindowTest, TheXWindowShowsTheEditorAfterAScriptTypedIntoIt)
{
    ASSERT_TRUE(runSession(fmt::format("tap message\n"
                                       "type \"Hello\"\n"
                                       "key return\n"
                                       "wait 1\n"
                                       "screenshot \"{}\"\n",
                                       (_dir / "render.png").string()),
                           "", "--zoom 2"));
    auto shot = readXwd(slurp(_dir / "window.xwd"));
    ASSERT_TRUE(shot);
    auto render = Image::imageWithContentsOfFile(_dir / "render.png");
    ASSERT_TRUE(render);
    // The phone's screen at zoom 2: two window pixels per point.
    constexpr int zoom = 2;
    ASSERT_EQ(shot->width, 320 * zoom);
    ASSERT_EQ(shot->height, 480 * zoom);
    // A file's image does not know the device scale it was drawn at.
    double scale = render->pixelWidth() / 320.0;

    auto dump = parseJson(slurp(_dir / "views.json"));
    ASSERT_TRUE(dump);
    const Json& window = (*dump).at("windows").at(0);
    const Json* message = findView(window, [](const Json& v) { return v.at("class").get<std::string>() == "TextView"; });
    const Json* panel = findView(window, [](const Json& v) { return v.at("class").get<std::string>() == "OptionsView"; });
    ASSERT_TRUE(message && panel);
    EXPECT_EQ((*message).at("text").get<std::string>(), "Hello");

    // The top bar and the panel: X shows what the renderer drew, and it is not blank.
    auto sameAsRender = [&](ScreenRect r, int columns, int rows) {
        int same = 0;
        int lit = 0;
        for (int i = 0; i < columns; ++i)
            for (int j = 0; j < rows; ++j) {
                double x = r.x + r.w * (i + 0.5) / columns;
                double y = r.y + r.h * (j + 0.5) / rows;
                Color seen = shot->at(static_cast<int>(x * zoom), static_cast<int>(y * zoom));
                same += nearColor(seen, render->pixelAt(static_cast<int>(x * scale), static_cast<int>(y * scale)), 0.06f);
                lit += seen.r + seen.g + seen.b > 0.1f;
            }
        return std::pair{same, lit};
    };
    auto [barSame, barLit] = sameAsRender({0, 0, 320, 44}, 16, 4);
    EXPECT_GE(barSame, 56) << "of 64 top bar samples";
    EXPECT_EQ(barLit, 64);
    auto [panelSame, panelLit] = sameAsRender(screenRectOf(*panel), 16, 12);
    EXPECT_GE(panelSame, 168) << "of 192 panel samples";
    EXPECT_GE(panelLit, 100);

    // The message in its green.
    ScreenRect m = screenRectOf(*message);
    int green = 0;
    for (int y = static_cast<int>(m.y * zoom); y < static_cast<int>((m.y + m.h) * zoom); ++y)
        for (int x = static_cast<int>(m.x * zoom); x < static_cast<int>((m.x + m.w) * zoom); ++x)
            green += nearColor(shot->at(x, y), Color::rgb255(102, 255, 122), 0.03f);
    EXPECT_GE(green, 30 * zoom * zoom);
}

TEST_F(XWindowTest, MouseKeyboardAndWheelOfTheXServerReachTheEditor)
{
    // While the script waits, a user clicks into the message, types, pastes,
    // closes the keyboard with Return and turns the wheel over the swatches.
    // There is no window manager to give the window the keyboard focus on a click.
    ASSERT_TRUE(runSession("wait 6\n", "xdotool windowfocus --sync $win\n"
                                        "xdotool mousemove --window $win 160 130 click 1\n"
                                        "sleep 1\n"
                                        "xdotool type --delay 40 'Hi there'\n"
                                        "printf ', ok' | xclip -selection clipboard\n"
                                        "xdotool key BackSpace ctrl+v Return\n"
                                        "sleep 1\n"
                                        "xdotool mousemove --window $win 160 380 click 5 click 5"));
    auto dump = parseJson(slurp(_dir / "views.json"));
    ASSERT_TRUE(dump);
    const Json& window = (*dump).at("windows").at(0);
    const Json* message = findView(window, [](const Json& v) { return v.at("class").get<std::string>() == "TextView"; });
    const Json* board = findView(window, [](const Json& v) { return v.at("tag").get<double>() == 1024; });
    const Json* panel = findView(window, [](const Json& v) { return v.at("class").get<std::string>() == "OptionsView"; });
    ASSERT_TRUE(message && board && panel);
    EXPECT_EQ((*message).at("text").get<std::string>(), "Hi ther, ok");
    // Return put the keyboard away: the panel is back at the bottom.
    EXPECT_EQ((*panel).at("screen").at(1).get<double>() + (*panel).at("screen").at(3).get<double>(), 480);
    EXPECT_GT((*board).at("contentOffset").at(1).get<double>(), 0);
}

// A sent card and a card the refusing composer put on the pasteboard both
// reach the desktop clipboard, the textured one in chunks (INCR), the plain
// one whole; the refusal's sms: link is not opened.
TEST_F(XWindowTest, TheSentCardAndThePasteboardCardAreOnTheDesktopClipboard)
{
    fakeBrowser();
    auto outbox = _dir / "data/data/outbox";
    std::string sent = outbox.string() + "/*.jpg";
    ASSERT_TRUE(runSession("tap tag 2026\ntap tag 63 in 1026\nwait 1\ntap send\ntap composer-send\nwait 1\n",
                           fmt::format("{}cp {} '{}/sent.jpg'\n", readClipboardOnce(sent), sent, _dir.path().string()),
                           fmt::format("--events '{}/events.jsonl'", _dir.path().string())));
    expectClipboardHolds(_dir / "sent.jpg");
    EXPECT_GT(std::filesystem::file_size(_dir / "clip.png"), 2 * X11Clipboard::kChunk);
    EXPECT_NE(slurp(_dir / "events.jsonl").find("card copied to the clipboard and saved to " + outbox.string()),
              std::string::npos);

    std::filesystem::remove_all(_dir / "data");
    auto pasteboard = _dir / "data/data/pasteboard/latest.jpg";
    ASSERT_TRUE(runSession("tap send\nalert 1\nwait 1\n", readClipboardOnce(pasteboard.string()), "--composer refuse"));
    expectClipboardHolds(pasteboard);
    EXPECT_FALSE(std::filesystem::exists(opened())) << slurp(opened());
}

// The alert ad's link goes to the browser from the window, and nowhere headless.
TEST_F(XWindowTest, TheAlertAdsLinkOpensInTheBrowserOnlyFromTheWindow)
{
    fakeBrowser();
    const std::string link = "http://127.0.0.1:9/go/681234001";
    auto dict = [](PlistValue::Dictionary d) { return PlistValue(std::move(d)); };
    std::string list = writePropertyList(dict({{"status", dict({{"code", PlistValue(0)}})},
                                               {"base", dict({{"ad_type", PlistValue("alert")}})},
                                               {"alert", dict({{"id", PlistValue("a1")},
                                                               {"title", PlistValue("Petal Post")},
                                                               {"content", PlistValue("Try it?")},
                                                               {"ok", PlistValue("Get it")},
                                                               {"cancel", PlistValue("Later")},
                                                               {"link", PlistValue(link)}})}}));
    std::string ok = writePropertyList(dict({{"status", dict({{"code", PlistValue(0)}})}}));
    LoopbackServer server;
    server.http().Get("/index.php", [&](const httplib::Request& req, httplib::Response& res) {
        res.set_content(req.get_param_value("action") == "info" ? list : ok, "application/x-plist");
    });
    std::string script = "settle\nalert 1\nwait 1\n";
    ASSERT_TRUE(runSession(script, "", "--server " + server.url()));
    EXPECT_EQ(slurp(opened()), link + "\n");

    std::filesystem::remove(opened());
    std::filesystem::remove_all(_dir / "data");
    std::ofstream(_dir / "headless.vqs") << script;
    std::string command = fmt::format("ASAN_OPTIONS=detect_leaks=0 '{}' --headless --open-urls browser --server {} "
                                      "--data-dir '{}/data' --script '{}/headless.vqs' >/dev/null 2>&1",
                                      VQ_APP_BINARY, server.url(), _dir.path().string(), _dir.path().string());
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(opened())) << slurp(opened());
}

} // namespace vq::test

#endif

