#include "net/UrlConnection.h"
#include "NetTestFixture.h"
#include "net/RequestObserver.h"

using namespace vq;
using namespace vq::test;

namespace {

// Records every callback; stops the connection before any URL whose host is stopHost.
class Watcher : public UrlConnectionDelegate {
public:
    bool willSendRequest(UrlConnection&, const std::string& url) override
    {
        EXPECT_TRUE(TestLoop::shared().isLoopThread());
        requested.push_back(url);
        return stopHost.empty() || url.find("://" + stopHost + ":") == std::string::npos;
    }
    void connectionDidFinishLoading(UrlConnection&) override { ++finished; }
    void didFailWithError(UrlConnection&, const std::string& message) override { errors.push_back(message); }

    std::string stopHost;
    std::vector<std::string> requested;
    int finished = 0;
    std::vector<std::string> errors;
};

class UrlConnectionTest : public NetTest {
protected:
    void SetUp() override
    {
        NetTest::SetUp();
        auto& http = server.http();
        http.Get("/a", [this](const httplib::Request& req, httplib::Response& res) {
            server.record(req);
            res.set_redirect("/b", 302);
        });
        // To the same server under another host name.
        http.Get("/b", [this](const httplib::Request& req, httplib::Response& res) {
            server.record(req);
            res.set_redirect(fmt::format("http://localhost:{}/c", server.port()), 301);
        });
        http.Get("/c", [this](const httplib::Request& req, httplib::Response& res) {
            server.record(req);
            res.set_content("landed", "text/plain");
        });
        http.Get("/loop", [this](const httplib::Request& req, httplib::Response& res) {
            server.record(req);
            res.set_redirect("/loop", 302);
        });
        http.Get("/to-app",
                 [](const httplib::Request&, httplib::Response& res) { res.set_redirect("quillpro://open", 302); });
        http.Get("/big", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(200000, 'b'), "application/octet-stream");
        });
        http.Get("/hold", [this](const httplib::Request&, httplib::Response& res) {
            server.hold();
            res.set_content("late", "text/plain");
        });
        watcher = std::make_shared<Watcher>();
    }
    void TearDown() override
    {
        setRequestObserver(nullptr);
        NetTest::TearDown();
        EXPECT_EQ(UrlConnection::runningCount(), 0u);
    }

    std::shared_ptr<UrlConnection> run(const std::string& path)
    {
        auto connection = UrlConnection::start(server.url(path), watcher);
        EXPECT_TRUE(runUntil([&] { return !connection->isRunning(); }));
        TestLoop::shared().runPending();
        return connection;
    }

    std::shared_ptr<Watcher> watcher;
};

TEST_F(UrlConnectionTest, FollowsARedirectChainAskingBeforeEachRequest)
{
    std::vector<RequestEnded> ended;
    setRequestObserver([&](const RequestEnded& e) { ended.push_back(e); });
    auto connection = run("/a");
    std::string c = fmt::format("http://localhost:{}/c", server.port());
    EXPECT_EQ(watcher->requested, (std::vector<std::string>{server.url("/a"), server.url("/b"), c}));
    EXPECT_EQ(watcher->finished, 1);
    EXPECT_TRUE(watcher->errors.empty());
    EXPECT_EQ(connection->url(), c);
    EXPECT_EQ(connection->statusCode(), 200);
    EXPECT_EQ(connection->data(), "landed");
    // Every request made is told, with its own status.
    ASSERT_EQ(ended.size(), 3u);
    EXPECT_EQ(ended[0].status, 302);
    EXPECT_EQ(ended[1].status, 301);
    EXPECT_EQ(ended[2].url, c);
    EXPECT_EQ(ended[2].status, 200);
}

TEST_F(UrlConnectionTest, TheHookStopsTheConnectionBeforeTheRequestIsSent)
{
    watcher->stopHost = "localhost";
    auto connection = run("/a");
    EXPECT_EQ(watcher->requested.size(), 3u);
    EXPECT_EQ(server.seenCount("/b"), 1u);
    EXPECT_EQ(server.seenCount("/c"), 0u); // never sent to the stopped host
    EXPECT_EQ(watcher->finished, 0);
    EXPECT_TRUE(watcher->errors.empty());

    // Stopped at the very first request: nothing goes out at all.
    watcher = std::make_shared<Watcher>();
    watcher->stopHost = "127.0.0.1";
    run("/a");
    EXPECT_EQ(server.seenCount("/a"), 1u);
}

TEST_F(UrlConnectionTest, ALoopFailsAfterTwentyRedirectsAndANonWebRedirectFails)
{
    run("/loop");
    EXPECT_EQ(server.seenCount("/loop"), 21u); // the first request and 20 redirects
    ASSERT_EQ(watcher->errors.size(), 1u);
    EXPECT_NE(watcher->errors[0].find("redirected too many times"), std::string::npos);
    EXPECT_EQ(watcher->finished, 0);

    watcher = std::make_shared<Watcher>();
    run("/to-app");
    EXPECT_EQ(watcher->requested, std::vector<std::string>{server.url("/to-app")});
    ASSERT_EQ(watcher->errors.size(), 1u);
    EXPECT_NE(watcher->errors[0].find("quillpro://open"), std::string::npos);
}

TEST_F(UrlConnectionTest, KeepsOnlyTheStartOfALargeBodyAndStillFinishes)
{
    auto connection = run("/big");
    EXPECT_EQ(watcher->finished, 1);
    EXPECT_EQ(connection->data(), std::string(UrlConnection::keptBodySize, 'b'));
}

TEST_F(UrlConnectionTest, SilenceTimesOutAndACancelEndsWithoutAWord)
{
    HttpRequest::setTimeOutSecondsForTesting(1);
    run("/hold");
    ASSERT_EQ(watcher->errors.size(), 1u);
    EXPECT_EQ(watcher->errors[0], "The request timed out");

    watcher = std::make_shared<Watcher>();
    HttpRequest::setTimeOutSecondsForTesting(HttpRequest::defaultTimeOutSeconds);
    auto connection = UrlConnection::start(server.url("/hold"), watcher);
    EXPECT_EQ(UrlConnection::runningCount(), 1u);
    ASSERT_TRUE(runUntil([&] { return !watcher->requested.empty(); }));
    connection->cancel();
    EXPECT_EQ(UrlConnection::runningCount(), 0u);
    server.release();
    TestLoop::shared().runFor(0.3);
    EXPECT_EQ(watcher->finished, 0);
    EXPECT_TRUE(watcher->errors.empty());
}

TEST_F(UrlConnectionTest, AnUnusableFirstAddressFailsAfterTheHookHasSeenIt)
{
    auto connection = UrlConnection::start("quillpro://x", watcher);
    EXPECT_TRUE(watcher->requested.empty()); // never inside start
    ASSERT_TRUE(runUntil([&] { return !connection->isRunning(); }));
    EXPECT_EQ(watcher->requested, std::vector<std::string>{"quillpro://x"});
    EXPECT_EQ(watcher->errors, std::vector<std::string>{"Unable to create request (bad url?)"});
}

} // namespace
