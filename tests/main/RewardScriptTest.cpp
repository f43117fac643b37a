// The reward wall driven by scripts through the built program, against a
// loopback promotion server.
#ifdef VQ_APP_HAS_EDITOR

#include "support/LoopbackServer.h"
#include "support/TempDir.h"

#include "core/PropertyList.h"
#include "graphics/Image.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <mutex>
#include <sstream>
#include <sys/wait.h>

namespace vq::test {

namespace {

PlistValue rewardList(const std::string& server)
{
    PlistValue::Array items;
    for (int n = 0; n < 5; ++n)
        items.push_back(PlistValue(PlistValue::Dictionary{
            {"app_id", fmt::format("6812{}", n)},
            {"content", "An app"},
            {"earn", fmt::format("{}", 5 * n)},
            {"icon_lnk", fmt::format("icon-{}.png", n)},
            {"id", fmt::format("rw-{}", n)},
            {"scheme", fmt::format("app{}", n)},
            {"target_lnk", server + fmt::format("/go/{}", n)},
            {"title", fmt::format("App {}", n)}}));
    return PlistValue(PlistValue::Dictionary{
        {"status", PlistValue(PlistValue::Dictionary{{"code", 0}})},
        {"base", PlistValue(PlistValue::Dictionary{{"ad_type", "reward"},
                                                   {"base_url", server + "/img/"},
                                                   {"current_point", 12},
                                                   {"unlock_point", 50}})},
        {"reward", PlistValue(std::move(items))}});
}

class RewardScriptTest : public ::testing::Test {
protected:
    RewardScriptTest()
    {
        server.http().Get("/index.php", [this](const httplib::Request& req, httplib::Response& res) {
            std::string action = req.get_param_value("action");
            if (action == "info") {
                res.set_content(writePropertyList(rewardList(server.url())), "application/x-plist");
                return;
            }
            if (action == "click") {
                std::lock_guard lock(mutex);
                clicks.push_back(req.get_param_value("id") + " " + req.get_param_value("target"));
            }
            res.set_content(writePropertyList(PlistValue(PlistValue::Dictionary{
                                {"status", PlistValue(PlistValue::Dictionary{{"code", 0}})}})),
                            "application/x-plist");
        });
        server.http().Get("/store/lookup", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(writePropertyList(PlistValue(PlistValue::Dictionary{
                                {"name", PlistValue("App " + req.get_param_value("id"))}})),
                            "application/x-plist");
        });
        server.http().Get(R"(/img/.*)", [](const httplib::Request&, httplib::Response& res) {
            auto png = Image::blank(8, 8, 1)->pngData();
            res.set_content(std::string(png.begin(), png.end()), "image/png");
        });
    }

    // Runs the script headless against the server; the exit status, with standard error in err.
    int run(const std::string& device, const std::string& script, std::optional<std::string> base = std::nullopt)
    {
        std::ofstream(dir / "s.vqs") << script;
        std::string command = fmt::format(
            "ASAN_OPTIONS=detect_leaks=0 '{}' --headless --device {} --server {} --data-dir '{}' --events '{}' "
            "--script '{}' >/dev/null 2>'{}'",
            VQ_APP_BINARY, device, base.value_or(server.url()), (dir / "data").string(), (dir / "events.jsonl").string(),
            (dir / "s.vqs").string(), (dir / "err.txt").string());
        int raw = std::system(command.c_str());
        std::ifstream in(dir / "err.txt");
        std::stringstream s;
        s << in.rdbuf();
        err = s.str();
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    std::string events() const
    {
        std::ifstream in(dir / "events.jsonl");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::vector<std::string> seenClicks()
    {
        std::lock_guard lock(mutex);
        return clicks;
    }

    TempDir dir;
    std::string err;
    std::mutex mutex;
    std::vector<std::string> clicks;
    LoopbackServer server;
};

TEST_F(RewardScriptTest, HelpCardBackRowsAndCreditsOnAPhone)
{
    // The help card must close from both its button and the dimmer, or the
    // taps after it land on the card.
    int status = run("phone", "settle\nwait 1\n"
                              "tap ad-help\nwait 0.5\ntap help-mask\nwait 0.5\n"
                              "tap ad-help\nwait 0.5\ntap help-close\nwait 0.5\n"
                              "tap credits 1 in 101\nsettle\ntap store-done\nsettle\nwait 1\n"
                              "tap row 4 in 101\nsettle\ntap store-done\nsettle\nwait 1\n"
                              "tap ad-back\nwait 1\n");
    ASSERT_EQ(status, 0) << err;
    EXPECT_EQ(seenClicks(), (std::vector<std::string>{"rw-1 68121", "rw-4 68124"}));
    auto log = events();
    EXPECT_NE(log.find(R"("store-page","id":"68121","state":"done")"), std::string::npos);
    EXPECT_NE(log.find("reward ad hide"), std::string::npos);
    // The page slid away: its controls are gone.
    EXPECT_EQ(run("phone", "settle\nwait 1\ntap ad-back\nwait 1\ntap ad-help\n"), 2);
    EXPECT_NE(err.find("s.vqs:5: ad-help was not found"), std::string::npos) << err;
}

TEST_F(RewardScriptTest, TheTabletsRightTableAndARowThatIsNotThere)
{
    int status = run("tablet", "settle\nwait 1\ntap credits 1 in 102\nsettle\ntap store-done\nsettle\nwait 1\n"
                               "tap row 2 in 101\nsettle\ntap store-done\nsettle\nwait 1\n"
                               "tap credits 2 in 102\n");
    EXPECT_EQ(status, 2);
    EXPECT_EQ(seenClicks(), (std::vector<std::string>{"rw-3 68123", "rw-4 68124"}));
    EXPECT_NE(err.find("s.vqs:13: the table tagged 102 has no row 2"), std::string::npos) << err;
    // A table whose rows are not the reward wall's has no credits buttons. No list comes this
    // time, or the reward wall could be over the panel before the first tap.
    EXPECT_EQ(run("phone", "tap tag 2027\nwait 1\ntap credits 0 in 1027\n", "http://127.0.0.1:1"), 2);
    EXPECT_NE(err.find("row 0 in 1027 has no credits button"), std::string::npos) << err;
}

} // namespace

} // namespace vq::test

#endif
