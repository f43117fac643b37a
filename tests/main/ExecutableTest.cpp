// The built velvet-quill program, run as a user runs it.
#ifdef VQ_APP_BINARY

#include "support/JsonTree.h"
#include "support/TempDir.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

#ifdef VQ_APP_HAS_EDITOR
#include "options/StyleCatalogue.h"
#include "platform/Image.h"
#include "support/Harness.h"
#endif

namespace vq::test {

namespace {

struct Run {
    int status = -1;
    std::string err;
};

std::string slurp(const std::filesystem::path& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// args are passed through the shell: the callers' paths have no quotes in them.
Run runApp(const TempDir& dir, const std::string& args, const std::string& env = "")
{
    auto errPath = dir / "stderr.txt";
    // The font caches outlive a sanitizer build's leak check; the exit status here is the app's own.
    std::string command = fmt::format("{}ASAN_OPTIONS=detect_leaks=0 '{}' {} >/dev/null 2>'{}'", env, VQ_APP_BINARY,
                                      args, errPath.string());
    int raw = std::system(command.c_str());
    Run run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.err = slurp(errPath);
    return run;
}

} // namespace

TEST(ExecutableTest, WithoutADisplayPointsAtHeadlessAndRejectsBadOptions)
{
    TempDir dir;
    auto window = runApp(dir, fmt::format("--data-dir '{}'", (dir / "data").string()), "DISPLAY= WAYLAND_DISPLAY= SDL_VIDEODRIVER=x11 ");
    EXPECT_EQ(window.status, 1);
    EXPECT_NE(window.err.find("--headless"), std::string::npos) << window.err;

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
    for (const auto& child : view["children"].array())
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
    for (const auto& window : (*dump)["windows"].array()) {
        editor = findView(window, [](const Json& v) { return v["class"].string() == "TextView"; });
        if (editor)
            break;
    }
    ASSERT_TRUE(editor);
    EXPECT_EQ((*editor)["text"].string(), "Hi");
    auto swatch = StyleCatalogue::paletteRgb(12);
    ASSERT_TRUE(swatch);
    const Json& bg = (*editor)["background"];
    EXPECT_EQ(bg[0].number(), swatch->red);
    EXPECT_EQ(bg[1].number(), swatch->green);
    EXPECT_EQ(bg[2].number(), swatch->blue);

    // The background board is the one on show, the options panel at the bottom of the tall screen.
    const Json& window = (*dump)["windows"][0];
    const Json* board = findView(window, [](const Json& v) { return v["tag"].number() == 1025; });
    ASSERT_TRUE(board);
    EXPECT_FALSE((*board)["hidden"].boolean());
    const Json* panel = findView(window, [](const Json& v) { return v["class"].string() == "OptionsView"; });
    ASSERT_TRUE(panel);
    EXPECT_EQ((*panel)["screen"][1].number() + (*panel)["screen"][3].number(), 568);

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
        if ((*event)["type"].string() == "attachment")
            attachments.push_back(*event);
        if ((*event)["type"].string() == "composer-finished")
            finishes.push_back(*event);
    }
    ASSERT_EQ(attachments.size(), 1u);
    EXPECT_EQ(attachments[0]["typeIdentifier"].string(), "1");
    EXPECT_EQ(attachments[0]["filename"].string(), "velvetQuill.jpg");
    EXPECT_EQ(attachments[0]["width"].number(), 340);
    EXPECT_TRUE(std::filesystem::exists(attachments[0]["path"].string())) << "Send stored it where it said";
    ASSERT_EQ(finishes.size(), 1u);
    EXPECT_EQ(finishes[0]["result"].string(), "sent");
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
    auto folder = runApp(dir, fmt::format("card hi -o '{}'", (dir / "missing" / "card.jpg").string()));
    EXPECT_EQ(folder.status, 1);
    EXPECT_NE(folder.err.find("does not exist"), std::string::npos) << folder.err;
    EXPECT_FALSE(std::filesystem::exists(out));
}

#endif

} // namespace vq::test

#endif
