#include "main/HostFixture.h"
#include "support/ReadJson.h"

#include "graphics/Image.h"

#include <fmt/format.h>

#include <fstream>
#include <sstream>

namespace vq::test {

namespace {

// Depth-first, like the script's tag search.
const Json* findTag(const Json& view, int tag)
{
    if (view.at("tag").get<double>() == tag)
        return &view;
    for (const auto& child : view.at("children"))
        if (auto* found = findTag(child, tag))
            return found;
    return nullptr;
}

std::vector<double> numbers(const Json& array)
{
    std::vector<double> out;
    for (const auto& v : array)
        out.push_back(v.get<double>());
    return out;
}

std::vector<Json> jsonLines(const std::string& text)
{
    std::vector<Json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        auto parsed = parseJson(line);
        EXPECT_TRUE(parsed) << line;
        if (parsed)
            lines.push_back(*parsed);
    }
    return lines;
}

} // namespace

using ViewDumpTest = HostFixture;

TEST_F(ViewDumpTest, DescribesEveryViewWithTheKeysOfItsKind)
{
    ASSERT_EQ(runScript(fmt::format("tap tag 18 in 100\ndump \"{}\"\n", (_dir / "out/views.json").string())), 0)
        << _errors;
    auto dump = parseJson(readText("out/views.json"));
    ASSERT_TRUE(dump);
    const Json& window = (*dump).at("windows").at(0);
    EXPECT_EQ(window.at("class").get<std::string>(), "Window");
    EXPECT_EQ(numbers(window.at("frame")), (std::vector<double>{0, 0, 320, 480}));

    const Json* button = findTag(window, 10);
    ASSERT_TRUE(button);
    EXPECT_EQ(button->size(), 14u); // class..children, with text, image, font and textColor
    EXPECT_EQ((*button).at("class").get<std::string>(), "Button");
    EXPECT_EQ(numbers((*button).at("frame")), (std::vector<double>{20, 20, 80, 40}));
    EXPECT_EQ(numbers((*button).at("background")), (std::vector<double>{255, 0, 0, 1}));
    EXPECT_TRUE((*button).at("enabled").get<bool>());
    EXPECT_FALSE((*button).at("selected").get<bool>());
    EXPECT_FALSE((*button).at("hidden").get<bool>());
    EXPECT_EQ((*button).at("alpha").get<double>(), 1);
    EXPECT_EQ((*button).at("text").get<std::string>(), "Go");
    EXPECT_TRUE((*button).at("image").is_null());
    EXPECT_GT((*button).at("font").at("size").get<double>(), 0);
    EXPECT_FALSE((*button).at("font").at("name").get<std::string>().empty());
    EXPECT_FALSE(button->contains("contentSize"));

    const Json* label = findTag(window, 7);
    ASSERT_TRUE(label);
    EXPECT_EQ((*label).at("text").get<std::string>(), "Hello");
    EXPECT_EQ(numbers((*label).at("textColor")), (std::vector<double>{0, 0, 0, 1}));
    EXPECT_TRUE((*label).at("background").is_null());
    EXPECT_FALSE(label->contains("enabled"));
    EXPECT_FALSE(label->contains("image"));

    // Inside the scrolled view: the frame stays in content coordinates, the screen rect moves.
    const Json* scroll = findTag(window, 100);
    ASSERT_TRUE(scroll);
    EXPECT_EQ(numbers((*scroll).at("contentSize")), (std::vector<double>{160, 1000}));
    double offset = (*scroll).at("contentOffset").at(1).get<double>();
    EXPECT_GT(offset, 0);
    const Json* inside = findTag(*scroll, 18);
    ASSERT_TRUE(inside);
    EXPECT_EQ(numbers((*inside).at("frame")), (std::vector<double>{10, 855, 100, 40}));
    EXPECT_EQ(numbers((*inside).at("screen")), (std::vector<double>{10, 80 + 855 - offset, 100, 40}));
    EXPECT_TRUE((*findTag(*scroll, 30)).at("hidden").get<bool>());
}

using ScreenshotTest = HostFixture;

TEST_F(ScreenshotTest, RendersTheScreenAtTheDeviceScale)
{
    struct Case {
        DeviceProfile device;
        int width, height;
    };
    for (auto c : {Case{DeviceProfile::Phone, 640, 960}, Case{DeviceProfile::Tall, 640, 1136}}) {
        LaunchOptions options;
        options.device = c.device;
        auto path = _dir / "shots" / "screen.png";
        ASSERT_EQ(runScript(fmt::format("screenshot \"{}\"\n", path.string()), options), 0) << _errors;
        auto image = Image::imageWithContentsOfFile(path);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->pixelWidth(), c.width);
        EXPECT_EQ(image->pixelHeight(), c.height);
        // The red button's corner, and the white window beside it.
        EXPECT_EQ(image->pixelAt(50, 50), Color::rgb255(255, 0, 0));
        EXPECT_EQ(image->pixelAt(10, 10), Color::whiteColor());
    }
}

using EventLogTest = HostFixture;

TEST_F(EventLogTest, RecordsLogLinesAnalyticsAndAlertsOnTheVirtualClock)
{
    std::ofstream(_dir / "events.jsonl") << "{\"t\":0,\"type\":\"earlier run\"}\n";
    LaunchOptions options;
    options.eventsFile = _dir / "events.jsonl";
    ASSERT_EQ(runScript("wait 1\ntap tag 11\nwait 0.5\nbackground\nforeground\n", options), 0) << _errors;

    auto lines = jsonLines(readText("events.jsonl"));
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines.at(0).at("type").get<std::string>(), "earlier run"); // appended, not replaced

    std::vector<std::string> seen;
    double last = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const Json& e = lines[i];
        double t = e.at("t").get<double>();
        EXPECT_GE(t, last) << "line " << i;
        last = t;
        const std::string& type = e.at("type").get<std::string>();
        if (type == "log")
            seen.push_back(fmt::format("{} log {}", t, e.at("text").get<std::string>()));
        else if (type == "analytics")
            seen.push_back(fmt::format("{} analytics {}", t, e.at("event").get<std::string>()));
        else if (type == "alert") {
            EXPECT_EQ(e.at("title").get<std::string>(), "Sure?");
            EXPECT_EQ(e.at("message").get<std::string>(), "Pick one");
            EXPECT_EQ(e.at("buttons").size(), 3u);
            EXPECT_EQ(e.at("buttons").at(2).get<std::string>(), "Maybe");
            EXPECT_EQ(e.at("tag").get<double>(), 77);
            seen.push_back(fmt::format("{} alert", t));
        }
    }
    std::vector<std::string> expected = {"0 log test app launched", "0 analytics startSession:TESTAPPKEY0123456789",
                                         "0 analytics became active", "1 alert", "1.5 analytics became active"};
    EXPECT_EQ(seen, expected);
}

} // namespace vq::test
