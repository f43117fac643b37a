// The maker's figures after a real session of the app, read in a real browser.
#ifdef VQ_APP_BINARY

#include "promo-server/PromoServer.h"

#include "support/ReadJson.h"
#include "support/TempDir.h"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <thread>

namespace {

using vq::promo::PromoServer;
using vq::promo::ServerOptions;
using vq::test::slurp;

// The text of the element with this id in a dumped DOM, or of the cell of this class in the row of this app.
std::string byId(const std::string& dom, const std::string& id)
{
    std::smatch m;
    std::regex pattern("id=\"" + id + "\">([^<]*)<");
    return std::regex_search(dom, m, pattern) ? m[1].str() : "<absent>";
}

std::string cellOf(const std::string& dom, const std::string& app, const std::string& column)
{
    std::smatch m;
    std::regex row("<tr data-app=\"" + app + "\">(.*?)</tr>");
    if (!std::regex_search(dom, m, row))
        return "<no row>";
    std::string cells = m[1];
    std::regex cell("class=\"" + column + "\">([^<]*)<");
    return std::regex_search(cells, m, cell) ? m[1].str() : "<no cell>";
}

} // namespace

TEST(StatsInBrowser, TheSessionsReportsShowOnThePageAsInTheFigures)
{
    if (std::system("command -v chromium >/dev/null 2>&1") != 0) {
        const char* ci = std::getenv("CI");
        if (ci && std::string(ci) == "true")
            FAIL() << "chromium is missing (scripts/install-deps installs it)";
        GTEST_SKIP() << "chromium is not installed";
    }
    vq::test::TempDir dir;
    ServerOptions options;
    options.lists = {std::string(VQ_EXAMPLES_DIR) + "/promotion/alert.plist",
                     std::string(VQ_EXAMPLES_DIR) + "/promotion/wall.plist"};
    options.storeWebHost = "store.velvetquill.test";
    options.database = dir / "reports.db";
    PromoServer server(options);
    ASSERT_FALSE(server.load());
    auto port = server.bind(0);
    ASSERT_TRUE(port);
    std::thread serving([&] { server.listen(); });

    // The alert ad shown and accepted; then Info brings the wall, one of whose apps is installed.
    std::ofstream(dir / "session.vqs") << "settle\nalert 1\nsettle\nwait 1\ntap info\nsettle\nwait 1\n";
    std::string app = fmt::format("ASAN_OPTIONS=detect_leaks=0 '{}' --headless --server http://127.0.0.1:{} "
                                  "--installed-schemes inkwell --data-dir '{}' --script '{}' >'{}' 2>&1",
                                  VQ_APP_BINARY, *port, (dir / "data").string(), (dir / "session.vqs").string(),
                                  (dir / "app.log").string());
    int ran = std::system(app.c_str());

    std::string page = fmt::format("http://127.0.0.1:{}/stats", *port);
    std::string browse = fmt::format("timeout 90 chromium --headless --no-sandbox --disable-gpu --disable-dev-shm-usage --user-data-dir='{}' "
                                     "--dump-dom '{}' >'{}' 2>'{}'",
                                     (dir / "chromium").string(), page, (dir / "dom.html").string(),
                                     (dir / "chromium.log").string());
    int browsed = std::system(browse.c_str());
    auto figures = httplib::Client("127.0.0.1", *port).Get("/stats.json");
    server.stop();
    serving.join();
    ASSERT_EQ(ran, 0) << slurp(dir / "app.log");
    ASSERT_EQ(browsed, 0) << slurp(dir / "chromium.log");
    ASSERT_TRUE(figures);
    auto json = vq::test::parseJson(figures->body);
    ASSERT_TRUE(json) << figures->body;
    std::string dom = slurp(dir / "dom.html");

    // The alert's app (from its link): shown once, taken once; the installed wall app counted once.
    auto appFigures = [&](const std::string& id) {
        for (const auto& a : json->at("apps"))
            if (a.at("app_id") == id)
                return a;
        return vq::test::Json();
    };
    EXPECT_EQ(appFigures("681234001").at("displays"), 1);
    EXPECT_EQ(appFigures("681234001").at("clicks"), 1);
    EXPECT_EQ(appFigures("681234002").at("installs"), 1);
    EXPECT_EQ(json->at("devices"), 1);

    // The browser's DOM says the same.
    EXPECT_EQ(byId(dom, "reports"), std::to_string(json->at("reports").get<int>()));
    EXPECT_EQ(byId(dom, "devices"), "1");
    EXPECT_EQ(cellOf(dom, "681234001", "displays"), "1");
    EXPECT_EQ(cellOf(dom, "681234001", "clicks"), "1");
    EXPECT_EQ(cellOf(dom, "681234001", "rate"), "100.0%");
    EXPECT_EQ(cellOf(dom, "681234002", "installs"), "1");
}

#endif
