// The wall through the built app against the demo server and its example list.
#ifdef VQ_APP_BINARY

#include "promo-server/PromoServer.h"

#include "support/ReadJson.h"
#include "support/TempDir.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include <sys/wait.h>

namespace {

using vq::promo::PromoServer;
using vq::promo::ServerOptions;
using vq::test::Json;
using vq::test::slurp;

std::vector<Json> jsonLines(const std::string& text)
{
    std::vector<Json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (auto parsed = vq::test::parseJson(line))
            lines.push_back(*parsed);
    return lines;
}

// The views under the overlay's root in a dump, depth first.
void collect(const Json& view, bool inside, std::vector<Json>& out)
{
    bool root = view.contains("tag") && view.at("tag") == 457260342;
    if (inside || root)
        out.push_back(view);
    if (view.contains("children"))
        for (const auto& child : view.at("children"))
            collect(child, inside || root, out);
}

TEST(WallEndToEnd, InfoOpensTheDemoWallItsTapsOpenStorePagesAndDoneBringsItBack)
{
    vq::test::TempDir dir;
    ServerOptions options;
    options.lists = {std::string(VQ_EXAMPLES_DIR) + "/promotion/wall.plist"};
    options.storeWebHost = "store.velvetquill.test";
    PromoServer server(options);
    ASSERT_FALSE(server.load());
    auto port = server.bind(0);
    ASSERT_TRUE(port);
    std::thread serving([&] { server.listen(); });

    // The automatic ad is the wall; Info asks for it once more after its close button hides it.
    std::ofstream(dir / "wall.vqs") << "settle\n"
                                       "wait 1\n"
                                       "tap ad-close\n"
                                       "wait 1\n"
                                       "tap info\n"
                                       "settle\n"
                                       "wait 1\n"
                                       "tap tag 12 in 457260342\n"
                                       "settle\n"
                                       "tap store-done\n"
                                       "wait 1\n"
                                       "tap ad-icon\n"
                                       "settle\n"
                                       "tap store-done\n"
                                       "wait 1\n"
                                       "settle\n"
                                       "dump " + (dir / "wall.json").string() + "\n";
    std::string command = fmt::format(
        "ASAN_OPTIONS=detect_leaks=0 '{}' --headless --device tablet --server http://127.0.0.1:{} "
        "--installed-schemes inkwell,tideclock --data-dir '{}' --events '{}' --script '{}' >'{}' 2>&1",
        VQ_APP_BINARY, *port, (dir / "data").string(), (dir / "events.jsonl").string(), (dir / "wall.vqs").string(),
        (dir / "out.txt").string());
    int raw = std::system(command.c_str());
    server.stop();
    serving.join();
    ASSERT_TRUE(WIFEXITED(raw));
    ASSERT_EQ(WEXITSTATUS(raw), 0) << slurp(dir / "out.txt");

    std::vector<std::string> displays, clicks, installs, pages;
    for (const auto& e : jsonLines(slurp(dir / "events.jsonl"))) {
        std::string type = e.at("type");
        if (type == "store-page")
            pages.push_back(e.at("id").get<std::string>() + " " + e.at("state").get<std::string>());
        if (type != "http" || !e.contains("status"))
            continue;
        std::string url = e.at("url");
        if (url.find("action=display") != std::string::npos)
            displays.push_back(url.substr(url.find("&type=")));
        if (url.find("action=click") != std::string::npos)
            clicks.push_back(url.substr(url.find("&type=")));
        if (url.find("action=install") != std::string::npos)
            installs.push_back(url.substr(url.find("&list=")));
    }
    // Shown on launch, from Info, and back after each store page.
    EXPECT_EQ(displays, std::vector<std::string>(4, "&type=wall&id="));
    EXPECT_EQ(clicks, (std::vector<std::string>{"&type=wall&id=&target=681234013", "&type=wall&id=&target=681234001"}));
    // Both walls find the same installed apps; the report goes out once.
    EXPECT_EQ(installs, std::vector<std::string>{"&list=681234002,681234009"});
    EXPECT_EQ(pages, (std::vector<std::string>{"681234013 shown", "681234013 done", "681234001 shown",
                                               "681234001 done"}));

    auto dump = vq::test::parseJson(slurp(dir / "wall.json"));
    ASSERT_TRUE(dump);
    std::vector<Json> views;
    for (const auto& window : dump->at("windows"))
        collect(window, false, views);
    ASSERT_FALSE(views.empty()) << "the wall is back on screen";
    // Thirteen grid apps, the two installed ones taking no taps.
    int cells = 0, disabled = 0;
    for (const auto& v : views)
        if (v.at("class") == "Button" && v.at("tag") != 0) {
            ++cells;
            disabled += v.contains("enabled") && !v.at("enabled").get<bool>();
        }
    EXPECT_EQ(cells, 13);
    EXPECT_EQ(disabled, 2);
}

} // namespace

#endif
