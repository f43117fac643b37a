// The built velvet-quill program, run as a user runs it.
#ifdef VQ_APP_BINARY

#include "support/ReadJson.h"
#include "support/TempDir.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/wait.h>

#ifdef VQ_APP_HAS_EDITOR
#include "core/PropertyList.h"
#include "graphics/Image.h"
#include "options/StyleCatalogue.h"
#include "support/Harness.h"
#include "support/LoopbackServer.h"
#endif

namespace vq::test {

namespace {

struct Run {
    int status = -1;
    std::string err;
    std::string out;
};

// args are passed through the shell: the callers' paths have no quotes in them.
Run runApp(const TempDir& dir, const std::string& args, const std::string& env = "")
{
    auto errPath = dir / "stderr.txt";
    auto outPath = dir / "stdout.bin";
    // The font caches outlive a sanitizer build's leak check; the exit status here is the app's own.
    std::string command = fmt::format("{}ASAN_OPTIONS=detect_leaks=0 '{}' {} >'{}' 2>'{}'", env, VQ_APP_BINARY,
                                      args, outPath.string(), errPath.string());
    int raw = std::system(command.c_str());
    Run run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.err = slurp(errPath);
    run.out = slurp(outPath);
    return run;
}

std::size_t lineCount(const std::string& text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

} // namespace

TEST(ExecutableTest, WithoutADisplayPointsAtHeadlessAndRejectsBadOptions)
{
    TempDir dir;
    // SDL left to pick a driver once waited for ever; timeout ends such a run with 124.
    for (std::string driver : {"env -u SDL_VIDEODRIVER ", "env SDL_VIDEODRIVER=x11 "}) {
        std::ofstream(dir / "tap.vqs") << "tap 10 10\n";
        auto window = runApp(dir, fmt::format("--data-dir '{}' --script '{}'", (dir / "data").string(),
                                              (dir / "tap.vqs").string()),
                             "DISPLAY= WAYLAND_DISPLAY= timeout 60 " + driver);
        EXPECT_EQ(window.status, 2) << driver << window.err;
        EXPECT_NE(window.err.find("no display"), std::string::npos) << window.err;
        EXPECT_NE(window.err.find("--headless"), std::string::npos) << window.err;
        EXPECT_EQ(lineCount(window.err), 1u) << window.err;
    }

    auto device = runApp(dir, "--headless --device watch");
    EXPECT_EQ(device.status, 2);
    EXPECT_NE(device.err.find("--device"), std::string::npos) << device.err;
}

#ifdef VQ_APP_HAS_EDITOR

// Depth-first, as the script's tag search.
const Json* findView(const Json& view, const std::function<bool(const Json&)>& match)
{
    if (match(view))
        return &view;
    for (const auto& child : view.at("children"))
        if (auto* found = findView(child, match))
            return found;
    return nullptr;
}

TEST(ExecutableTest, RunsTheEditorHeadlessAndDumpsItsViews)
{
    TempDir dir;
    auto missing = runApp(dir, fmt::format("--headless --script '{}'", (dir / "none.vqs").string()));
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("none.vqs"), std::string::npos) << missing.err;

    std::ofstream(dir / "style.vqs") << fmt::format("tap message\n"
                                                    "type \"Hi\"\n"
                                                    "key return\n"
                                                    "wait 1\n"
                                                    "tap tag 2025\n"
                                                    "tap tag 12 in 1025\n"
                                                    "wait 1\n"
                                                    "dump \"{}\"\n",
                                                    (dir / "out/editor.json").string());
    auto run = runApp(dir, fmt::format("--headless --device tall --data-dir '{}' --events '{}' --script '{}'",
                                       (dir / "data").string(), (dir / "events.jsonl").string(),
                                       (dir / "style.vqs").string()));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");

    auto dump = parseJson(slurp(dir / "out/editor.json"));
    ASSERT_TRUE(dump);
    const Json* editor = nullptr;
    for (const auto& window : (*dump).at("windows")) {
        editor = findView(window, [](const Json& v) { return v.at("class").get<std::string>() == "TextView"; });
        if (editor)
            break;
    }
    ASSERT_TRUE(editor);
    EXPECT_EQ((*editor).at("text").get<std::string>(), "Hi");
    auto swatch = StyleCatalogue::paletteRgb(12);
    ASSERT_TRUE(swatch);
    const Json& bg = (*editor).at("background");
    EXPECT_EQ(bg.at(0).get<double>(), swatch->red);
    EXPECT_EQ(bg.at(1).get<double>(), swatch->green);
    EXPECT_EQ(bg.at(2).get<double>(), swatch->blue);

    // The background board is the one on show, the options panel at the bottom of the tall screen.
    const Json& window = (*dump).at("windows").at(0);
    const Json* board = findView(window, [](const Json& v) { return v.at("tag").get<double>() == 1025; });
    ASSERT_TRUE(board);
    EXPECT_FALSE((*board).at("hidden").get<bool>());
    const Json* panel = findView(window, [](const Json& v) { return v.at("class").get<std::string>() == "OptionsView"; });
    ASSERT_TRUE(panel);
    EXPECT_EQ((*panel).at("screen").at(1).get<double>() + (*panel).at("screen").at(3).get<double>(), 568);

    EXPECT_NE(slurp(dir / "events.jsonl").find("\"type\":\"analytics\""), std::string::npos);
}

TEST(ExecutableTest, ComposerHandOverAndFinishAreEvents)
{
    TempDir dir;
    std::ofstream(dir / "send.vqs") << "tap send\ntap composer-send\n";
    auto run = runApp(dir, fmt::format("--headless --data-dir '{}' --events '{}' --script '{}'", (dir / "data").string(),
                                       (dir / "events.jsonl").string(), (dir / "send.vqs").string()));
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<Json> attachments, finishes;
    std::istringstream lines(slurp(dir / "events.jsonl"));
    for (std::string line; std::getline(lines, line);) {
        auto event = parseJson(line);
        ASSERT_TRUE(event) << line;
        if ((*event).at("type").get<std::string>() == "attachment")
            attachments.push_back(*event);
        if ((*event).at("type").get<std::string>() == "composer-finished")
            finishes.push_back(*event);
    }
    ASSERT_EQ(attachments.size(), 1u);
    EXPECT_EQ(attachments.at(0).at("typeIdentifier").get<std::string>(), "1");
    EXPECT_EQ(attachments.at(0).at("filename").get<std::string>(), "velvetQuill.jpg");
    EXPECT_EQ(attachments.at(0).at("width").get<double>(), 340);
    EXPECT_TRUE(std::filesystem::exists(attachments.at(0).at("path").get<std::string>())) << "Send stored it where it said";
    ASSERT_EQ(finishes.size(), 1u);
    EXPECT_EQ(finishes.at(0).at("result").get<std::string>(), "sent");
}

TEST(ExecutableTest, EveryEventKindIsOneObjectWithoutARepeatedKey)
{
    // The reader below refuses an object that names a key twice.
    ASSERT_FALSE(parseJson(R"({"type":"a","type":"b"})"));
    TempDir dir;
    auto events = dir / "events.jsonl";
    std::ofstream(dir / "composer.vqs") << "tap send\ntap composer-send\n";
    // A refusing composer sends the picture to the pasteboard; the alert's Send opens messages.
    std::ofstream(dir / "pasteboard.vqs") << "tap send\nalert 1\nwait 1\n";
    for (auto [mode, script] : {std::pair{"ok", "composer.vqs"}, std::pair{"refuse", "pasteboard.vqs"}}) {
        auto run = runApp(dir, fmt::format("--headless --composer {} --data-dir '{}' --events '{}' --script '{}'", mode,
                                           (dir / "data").string(), events.string(), (dir / script).string()));
        ASSERT_EQ(run.status, 0) << run.err;
    }
    std::map<std::string, Json> lastOfKind;
    std::istringstream lines(slurp(events));
    for (std::string line; std::getline(lines, line);) {
        auto event = parseJson(line);
        ASSERT_TRUE(event) << "not one JSON object with distinct keys: " << line;
        lastOfKind.insert_or_assign((*event).at("type").get<std::string>(), *event);
    }
    for (const char* kind : {"analytics", "alert", "open-url", "attachment", "pasteboard", "composer-finished"})
        EXPECT_TRUE(lastOfKind.contains(kind)) << kind;
    ASSERT_TRUE(lastOfKind.contains("pasteboard"));
    const Json& pasteboard = lastOfKind.at("pasteboard");
    EXPECT_EQ(pasteboard.at("pasteboardType").get<std::string>(), "public.jpeg");
    EXPECT_TRUE(std::filesystem::exists(pasteboard.at("path").get<std::string>()));
    ASSERT_TRUE(lastOfKind.contains("open-url"));
    EXPECT_EQ(lastOfKind.at("open-url").at("url").get<std::string>(), "sms://");
}

TEST(ExecutableTest, TheBannerKeyFromTheListBringsABannerAndEveryLoadIsAnEvent)
{
    // The list names a banner key and nothing else; banners come from the same server.
    LoopbackServer server;
    const std::string list = writePropertyList(PlistValue(PlistValue::Dictionary{
        {"status", PlistValue(PlistValue::Dictionary{{"code", PlistValue(0)}})},
        {"base", PlistValue(PlistValue::Dictionary{{"banner_key", PlistValue("house")}})}}));
    auto png = Image::blank(640, 100, 2)->pngData();
    const std::string picture(png.begin(), png.end());
    server.http().Get("/index.php", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(list, "application/x-plist");
    });
    server.http().Get("/banner", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(picture, "image/png");
    });

    TempDir dir;
    // The key arrives after the slot's first look: the 5 s poll picks it up. The last swatch then
    // lies under the banner until the board is scrolled past it.
    std::ofstream(dir / "banner.vqs") << fmt::format(
        "settle\nwait 5\nsettle\ntap tag 2025\ntap tag 66 in 1025\nwait 1\ndump \"{}\"\n", (dir / "editor.json").string());
    auto eventsOf = [&](const std::string& extra) {
        std::filesystem::remove(dir / "events.jsonl");
        auto run = runApp(dir, fmt::format("--headless --server {} {} --data-dir '{}' --events '{}' --script '{}'",
                                           server.url(), extra, (dir / "data").string(),
                                           (dir / "events.jsonl").string(), (dir / "banner.vqs").string()));
        EXPECT_EQ(run.status, 0) << run.err;
        std::vector<std::string> banners;
        std::istringstream lines(slurp(dir / "events.jsonl"));
        for (std::string line; std::getline(lines, line);)
            if (auto event = parseJson(line); event && (*event).at("type") == "banner")
                banners.push_back((*event).at("state").get<std::string>() + " " +
                                  (*event).at("unit").get<std::string>());
        return banners;
    };

    EXPECT_EQ(eventsOf(""), (std::vector<std::string>{"requested house", "received house"}));
    auto dump = parseJson(slurp(dir / "editor.json"));
    ASSERT_TRUE(dump);
    const Json* banner = findView((*dump).at("windows").at(0),
                                  [](const Json& v) { return v.at("class").get<std::string>() == "BannerView"; });
    ASSERT_TRUE(banner);
    EXPECT_EQ((*banner).at("screen"), Json::parse("[0,430,320,50]"));
    const Json* text = findView((*dump).at("windows").at(0),
                                [](const Json& v) { return v.at("class").get<std::string>() == "TextView"; });
    ASSERT_TRUE(text);
    auto swatch = StyleCatalogue::paletteRgb(66);
    ASSERT_TRUE(swatch);
    const Json& bg = (*text).at("background");
    EXPECT_EQ(bg.at(0).get<double>(), swatch->red);
    EXPECT_EQ(bg.at(1).get<double>(), swatch->green);
    EXPECT_EQ(bg.at(2).get<double>(), swatch->blue);

    // The key is remembered now, so the next run asks at once, here of a server that is not there.
    EXPECT_EQ(eventsOf(fmt::format("--ad-server http://127.0.0.1:{}", unusedPort())),
              (std::vector<std::string>{"requested house", "failed house"}));
}

TEST(ExecutableTest, ScriptsScrollEveryBoardDownAndBackUp)
{
    TempDir dir;
    // Each board: far down, then back to its first row, which the tab buttons overlap.
    std::ofstream(dir / "boards.vqs") << fmt::format("tap tag 31 in 1024\n"
                                                     "tap tag 12 in 1024\n"
                                                     "tap tag 66 in 1024\n"
                                                     "tap tag 1 in 1024\n"
                                                     "tap tag 2025\n"
                                                     "tap tag 60 in 1025\n"
                                                     "tap tag 4 in 1025\n"
                                                     "tap tag 2026\n"
                                                     "tap tag 90 in 1026\n"
                                                     "tap tag 2 in 1026\n"
                                                     "tap tag 2027\n"
                                                     "tap row 20 in 1027\n"
                                                     "tap row 1 in 1027\n"
                                                     "dump \"{}\"\n",
                                                     (dir / "boards.json").string());
    auto run = runApp(dir, fmt::format("--headless --data-dir '{}' --script '{}'", (dir / "data").string(),
                                       (dir / "boards.vqs").string()),
                      fmt::format("FONTCONFIG_FILE='{}' ", VQ_TEST_FONTS_CONF));
    ASSERT_EQ(run.status, 0) << run.err;
    auto dump = parseJson(slurp(dir / "boards.json"));
    ASSERT_TRUE(dump);
    const Json& window = (*dump).at("windows").at(0);
    for (int board : {1024, 1025, 1026, 1027}) {
        const Json* view = findView(window, [&](const Json& v) { return v.at("tag").get<double>() == board; });
        ASSERT_TRUE(view) << board;
        EXPECT_LT((*view).at("contentOffset").at(1).get<double>(), 49) << "board " << board << " is back near its top";
    }
    // The last picks of each page reached the message.
    const Json* editor = findView(window, [](const Json& v) { return v.at("class").get<std::string>() == "TextView"; });
    ASSERT_TRUE(editor);
    EXPECT_EQ((*editor).at("textColor").at(0).get<double>(), 255);
    EXPECT_EQ((*editor).at("textColor").at(1).get<double>(), 204);
    EXPECT_EQ((*editor).at("textColor").at(2).get<double>(), 204);
    EXPECT_NE((*editor).at("font").at("name").get<std::string>(), "DejaVuSans") << "row 1 is a named face";
}

TEST(ExecutableTest, AFaceInstalledTwiceIsListedOnce)
{
    // One face in two files, the second reporting another width (as a Type 1 copy
    // beside an OpenType one may), so the copies do not sort next to each other.
    TempDir dir;
    std::filesystem::path dejavu = "/usr/share/fonts/truetype/dejavu";
    std::filesystem::create_directories(dir / "fonts");
    std::filesystem::copy_file(dejavu / "DejaVuSans.ttf", dir / "fonts" / "DejaVuSans.ttf");
    std::filesystem::copy_file(dejavu / "DejaVuSans.ttf", dir / "fonts" / "DejaVuSans-copy.ttf");
    std::filesystem::copy_file(dejavu / "DejaVuSans-Bold.ttf", dir / "fonts" / "DejaVuSans-Bold.ttf");
    std::ofstream(dir / "fonts.conf") << fmt::format(R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <dir>{0}/fonts</dir>
  <cachedir>{0}/cache</cachedir>
  <match target="scan">
    <test name="file"><string>{0}/fonts/DejaVuSans-copy.ttf</string></test>
    <edit name="width" mode="assign"><int>75</int></edit>
  </match>
</fontconfig>
)",
                                                     dir.path().string());
    // An unknown font makes the card command print the font list.
    auto run = runApp(dir, fmt::format("card hi --font 'No Such Face' -o '{}'", (dir / "card.jpg").string()),
                      fmt::format("FONTCONFIG_FILE='{}' ", (dir / "fonts.conf").string()));
    EXPECT_EQ(run.status, 2);
    auto count = [&](const std::string& entry) {
        std::size_t n = 0;
        for (auto at = run.err.find(entry); at != std::string::npos; at = run.err.find(entry, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("\"DejaVuSans\""), 1u) << run.err;
    EXPECT_EQ(count("\"DejaVuSans-Bold\""), 1u) << run.err;
    EXPECT_NE(run.err.find("3 entries"), std::string::npos) << run.err;
}

TEST(ExecutableTest, CardWritesTheSentPicture)
{
    TempDir dir;
    auto out = dir / "card.jpg";
    auto run = runApp(dir, fmt::format("card 'Happy birthday' --bg-color 3 --text-color 1 --device tablet -o '{}'",
                                       out.string()));
    ASSERT_EQ(run.status, 0) << run.err;
    auto bytes = slurp(out);
    auto image = Image::imageWithData(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 490);
    EXPECT_EQ(image->pixelHeight(), 490);
    auto swatch = *StyleCatalogue::paletteColor(3);
    EXPECT_TRUE(nearColor(image->pixelAt(2, 2), swatch, 0.06f));
}

TEST(ExecutableTest, OnlyWhatARunUsesIsLoaded)
{
    // libcurl and its TLS stack come with the first request, SDL2 and its display
    // libraries with the first window: the card needs neither, a headless run no window.
    TempDir dir;
    auto loaderLog = [&dir](const std::string& prefix) {
        std::string loaded;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            if (entry.path().filename().string().starts_with(prefix))
                loaded += slurp(entry.path());
        return loaded;
    };
    auto card = runApp(dir, fmt::format("card hi --data-dir '{}' -o '{}'", (dir / "data").string(),
                                        (dir / "card.jpg").string()),
                       fmt::format("LD_DEBUG=files LD_DEBUG_OUTPUT='{}' ", (dir / "card-loader").string()));
    ASSERT_EQ(card.status, 0) << card.err;
    std::string loaded = loaderLog("card-loader");
    ASSERT_NE(loaded.find("file=libpango"), std::string::npos) << "the loader's log names what it loads";
    EXPECT_EQ(loaded.find("file=libcurl"), std::string::npos);
    EXPECT_EQ(loaded.find("file=libSDL2"), std::string::npos);

    std::ofstream(dir / "empty.vqs") << "";
    auto headless = runApp(dir, fmt::format("--headless --data-dir '{}' --script '{}'",
                                            (dir / "data").string(), (dir / "empty.vqs").string()),
                           fmt::format("LD_DEBUG=files LD_DEBUG_OUTPUT='{}' ", (dir / "headless-loader").string()));
    ASSERT_EQ(headless.status, 0) << headless.err;
    loaded = loaderLog("headless-loader");
    ASSERT_NE(loaded.find("file=libpango"), std::string::npos);
    EXPECT_EQ(loaded.find("file=libSDL2"), std::string::npos);
}

TEST(ExecutableTest, CardRejectsWhatItCannotDo)
{
    TempDir dir;
    auto out = (dir / "card.jpg").string();
    auto swatch = runApp(dir, fmt::format("card hi --bg-color 67 -o '{}'", out));
    EXPECT_EQ(swatch.status, 2);
    EXPECT_NE(swatch.err.find("66"), std::string::npos) << swatch.err;
    auto texture = runApp(dir, fmt::format("card hi --texture 0 -o '{}'", out));
    EXPECT_EQ(texture.status, 2);
    EXPECT_NE(texture.err.find("90"), std::string::npos) << texture.err;
    auto font = runApp(dir, fmt::format("card hi --font 'No Such Face' -o '{}'", out));
    EXPECT_EQ(font.status, 2);
    EXPECT_NE(font.err.find("System Normal"), std::string::npos) << font.err;
    // What the editor would not keep as asked is never sent.
    auto lineBreak = runApp(dir, fmt::format("card \"$(printf 'two\\nlines')\" -o '{}'", out));
    EXPECT_EQ(lineBreak.status, 2);
    EXPECT_NE(lineBreak.err.find("line break"), std::string::npos) << lineBreak.err;
    std::string tooLong;
    for (int i = 0; i < 30; ++i)
        tooLong += "many words ";
    auto overflow = runApp(dir, fmt::format("card '{}' -o '{}'", tooLong, out));
    EXPECT_EQ(overflow.status, 2);
    EXPECT_NE(overflow.err.find("too long"), std::string::npos) << overflow.err;
    EXPECT_NE(overflow.err.find(fmt::format("of {} characters fit", tooLong.size())), std::string::npos) << overflow.err;
    auto folder = runApp(dir, fmt::format("card hi -o '{}'", (dir / "missing" / "card.jpg").string()));
    EXPECT_EQ(folder.status, 1);
    EXPECT_NE(folder.err.find("does not exist"), std::string::npos) << folder.err;
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(ExecutableTest, CardOutputPathsTheFileSystemRefusesEndWithOneLine)
{
    TempDir dir;
    std::filesystem::create_symlink("la", dir / "lb");
    std::filesystem::create_symlink("lb", dir / "la");
    std::ofstream(dir / "afile") << "a file, not a folder";
    std::string longName(256, 'd');
    struct Case {
        std::filesystem::path output;
        std::string says;
    };
    for (const auto& [output, says] : {Case{dir / longName / "x.jpg", "too long"},
                                       Case{dir / "la" / "x.jpg", "symbolic links"},
                                       Case{dir / "afile" / "x.jpg", "afile is not a folder"},
                                       Case{dir / "missing" / "x.jpg", "does not exist"}}) {
        auto run = runApp(dir, fmt::format("card Hi -o '{}'", output.string()));
        EXPECT_EQ(run.status, 1) << output << run.err;
        EXPECT_NE(run.err.find(says), std::string::npos) << run.err;
        EXPECT_EQ(lineCount(run.err), 1u) << run.err;
    }
    EXPECT_EQ(slurp(dir / "afile"), "a file, not a folder");
}

TEST(ExecutableTest, CardWritesIntoAPipeThroughALinkLikeDevStdout)
{
    TempDir dir;
    // /dev/stdout itself, but a fault here replaces only this link, not the
    // machine's /dev/stdout.
    auto link = dir / "stdout";
    std::filesystem::create_symlink("/proc/self/fd/1", link);
    auto out = dir / "piped.jpg";
    std::string command = fmt::format("ASAN_OPTIONS=detect_leaks=0 '{}' card Hi -o '{}' 2>'{}' | cat >'{}'",
                                      VQ_APP_BINARY, link.string(), (dir / "stderr.txt").string(), out.string());
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(slurp(dir / "stderr.txt"), "");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    auto bytes = slurp(out);
    EXPECT_TRUE(Image::imageWithData(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())))
        << bytes.size() << " bytes came through the pipe";
}

TEST(ExecutableTest, ADeeplyNestedPreferencesFileIsMovedAsideAndTheCardIsStillMade)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "data/data");
    {
        std::ofstream deep(dir / "data/data/preferences.plist");
        deep << "<plist version=\"1.0\">";
        for (int i = 0; i < 200000; ++i)
            deep << "<array>";
    }
    auto run = runApp(dir, fmt::format("card Hi --data-dir '{}' -o '{}'", (dir / "data").string(),
                                       (dir / "card.jpg").string()));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "card.jpg"));
    EXPECT_TRUE(std::filesystem::exists(dir / "data/data/preferences.plist.corrupt"));
}

TEST(ExecutableTest, ScriptsThatCannotBeReadOrWouldBeWrittenOverStopTheRun)
{
    TempDir dir;
    auto data = (dir / "data").string();
    auto script = dir / "run.vqs";
    const std::string text = "tap message\ntype \"Hi\"\n";
    std::ofstream(script) << text;

    for (std::string unreadable : {dir.path().string(), std::string("/proc/self/mem")}) {
        auto run = runApp(dir, fmt::format("--headless --data-dir '{}' --script '{}'", data, unreadable));
        EXPECT_EQ(run.status, 2) << unreadable;
        EXPECT_NE(run.err.find(unreadable), std::string::npos) << run.err;
    }

    auto events = runApp(dir, fmt::format("--headless --data-dir '{}' --events '{}' --script '{}'", data,
                                          script.string(), script.string()));
    EXPECT_EQ(events.status, 2);
    EXPECT_NE(events.err.find("is the script"), std::string::npos) << events.err;
    EXPECT_EQ(slurp(script), text);

    // Through another spelling of the same path, from the script itself.
    std::ofstream(dir / "shot.vqs") << "tap message\nscreenshot \"" << (dir / "." / "shot.vqs").string() << "\"\n";
    auto shot = runApp(dir, fmt::format("--headless --data-dir '{}' --script '{}'", data, (dir / "shot.vqs").string()));
    EXPECT_EQ(shot.status, 2);
    EXPECT_NE(shot.err.find("shot.vqs:2:"), std::string::npos) << shot.err;
    EXPECT_NE(slurp(dir / "shot.vqs").find("screenshot"), std::string::npos) << "the script is still the script";

    std::ofstream(dir / "both.vqs") << "dump out.json\nscreenshot ./out.json\n";
    auto both = runApp(dir, fmt::format("--headless --data-dir '{}' --script '{}'", data, (dir / "both.vqs").string()));
    EXPECT_EQ(both.status, 2);
    EXPECT_NE(both.err.find("both.vqs:2:"), std::string::npos) << both.err;

    std::ofstream(dir / "long.vqs") << "wait 1\nwait 1e300\n";
    auto wait = runApp(dir, fmt::format("--headless --data-dir '{}' --script '{}'", data, (dir / "long.vqs").string()));
    EXPECT_EQ(wait.status, 2);
    EXPECT_NE(wait.err.find("long.vqs:2:"), std::string::npos) << wait.err;
}

TEST(ExecutableTest, EventsThatCannotBeWrittenAreReportedOnceAndFailTheRun)
{
    TempDir dir;
    std::ofstream(dir / "send.vqs") << "tap message\ntype \"Hi\"\ntap send\ntap composer-send\n";
    auto run = runApp(dir, fmt::format("--headless --data-dir '{}' --events /dev/full --script '{}'",
                                       (dir / "data").string(), (dir / "send.vqs").string()));
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("/dev/full"), std::string::npos) << run.err;
    EXPECT_EQ(lineCount(run.err), 1u) << run.err;
}

#endif

} // namespace vq::test

#endif
