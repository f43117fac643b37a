#include "main/HostFixture.h"
#include "main/ScriptRunner.h"
#include "support/LoopbackServer.h"
#include "support/ReadJson.h"

#include "core/PropertyList.h"
#include "core/RunLoop.h"
#include "net/HttpRequest.h"
#include "net/NetworkSwitch.h"
#include "net/RunQueue.h"
#include "system/Application.h"
#include "system/StoreProductPage.h"
#include "ui/Window.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace vq::test {

namespace {

std::vector<Json> jsonLines(const std::string& text)
{
    std::vector<Json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (auto parsed = parseJson(line))
            lines.push_back(*parsed);
    return lines;
}

// Ends a request by starting the next one until none are left.
class Chain : public HttpRequestDelegate {
public:
    Chain(std::string url, int count) : _url(std::move(url)), _left(count) {}
    void next()
    {
        if (_left-- == 0)
            return;
        auto request = HttpRequest::requestWithURL(_url);
        request->setDelegate(self);
        request->startAsynchronous();
    }
    void requestFinished(const std::shared_ptr<HttpRequest>&) override
    {
        ++finished;
        next();
    }
    void requestFailed(const std::shared_ptr<HttpRequest>&) override { ++failed; }

    std::shared_ptr<Chain> self; // the test's: requests do not retain their delegates
    int finished = 0;
    int failed = 0;

private:
    std::string _url;
    int _left;
};

class NetworkScriptTest : public HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        server.http().Get("/slow", [this](const httplib::Request&, httplib::Response& res) {
            ++seen;
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            res.set_content("ok", "text/plain");
        });
        server.http().Get("/hold", [this](const httplib::Request&, httplib::Response& res) {
            ++seen;
            for (int i = 0; i < 40 && !released; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            res.set_content("late", "text/plain");
        });
        server.http().Get("/store/lookup", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(writePropertyList(PlistValue(PlistValue::Dictionary{
                                {"name", "Quill Pro"}, {"seller", "Velvet Labs"}, {"icon", server.url("/none.png")}})),
                            "application/x-plist");
        });
    }
    void TearDown() override
    {
        released = true;
        // Nothing of one test may still fly into the next.
        RunLoop::main().runUntil([] {
            auto& q = RunQueue::shared();
            return q.runningCount() + q.waitingCount() == 0;
        }, 30);
        TestApp::onTap = nullptr;
        for (auto& chain : chains)
            chain->self.reset();
        ScriptRunner::settleLimitSeconds = 30;
        HostFixture::TearDown();
    }

    // A tap on the red button starts a chain of count requests to path.
    std::shared_ptr<Chain> chainOnTap(const std::string& path, int count)
    {
        auto chain = std::make_shared<Chain>(server.url(path), count);
        chain->self = chain;
        chains.push_back(chain);
        TestApp::onTap = [chain](int tag) {
            if (tag == 10)
                chain->next();
        };
        return chain;
    }

    LoopbackServer server;
    std::vector<std::shared_ptr<Chain>> chains;
    std::atomic<int> seen{0};
    std::atomic<bool> released{false};
};

TEST_F(NetworkScriptTest, SettleDeliversRequestsStartedByCallbacksWhileWaitDoesNotWaitForTheNetwork)
{
    auto chain = chainOnTap("/slow", 2);
    ASSERT_EQ(runScript("tap tag 10\nwait 5\n"), 0) << _errors;
    EXPECT_EQ(chain->finished, 0); // five virtual seconds are no real time at all
    // Let the first chain end before the next run, so its requests are not counted there.
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return chain->finished == 2; }, 30));

    chain = chainOnTap("/slow", 2);
    LaunchOptions options;
    options.eventsFile = _dir / "events.jsonl";
    ASSERT_EQ(runScript("tap tag 10\nsettle\n", options), 0) << _errors;
    EXPECT_EQ(chain->finished, 2);
    int http = 0;
    for (const auto& e : jsonLines(readText("events.jsonl"))) {
        if (e.at("type").get<std::string>() != "http")
            continue;
        ++http;
        EXPECT_EQ(e.at("url").get<std::string>(), server.url("/slow"));
        EXPECT_EQ(e.at("status").get<double>(), 200);
        EXPECT_FALSE(e.contains("error"));
    }
    EXPECT_EQ(http, 2);
}

TEST_F(NetworkScriptTest, ANetworkThatStaysBusyFailsTheScriptAtTheSettleLine)
{
    ScriptRunner::settleLimitSeconds = 0.5;
    chainOnTap("/hold", 1);
    EXPECT_EQ(runScript("tap tag 10\nsettle\ntap tag 10\n"), ScriptRunner::kFailed);
    EXPECT_TRUE(_errors.ends_with("test.vqs:2: network did not settle\n")) << _errors;
}

TEST_F(NetworkScriptTest, StorePagesAndPushAreToldInTheEventsFile)
{
    std::shared_ptr<StoreProductPage> page;
    TestApp::onTap = [&](int tag) {
        if (tag != 10)
            return;
        Application::shared().registerForRemoteNotifications(RemoteNotificationTypeAlert);
        page = StoreProductPage::create();
        Application::shared().keyWindow()->addSubview(page->view());
        page->loadProduct("42", [](bool, std::optional<std::string>) {});
    };
    LaunchOptions options;
    options.eventsFile = _dir / "events.jsonl";
    options.server = server.url();
    ASSERT_EQ(runScript("tap tag 10\nsettle\nwait 1\n", options), 0) << _errors;
    ASSERT_EQ(runScript("tap tag 10\nsettle\nwait 1\n", options), 0) << _errors;
    options.push = PushBehaviour::Fail;
    options.store = fmt::format("http://127.0.0.1:{}", unusedPort());
    ASSERT_EQ(runScript("tap tag 10\nsettle\nwait 1\n", options), 0) << _errors;

    std::vector<std::string> tokens, pages, errors;
    for (const auto& e : jsonLines(readText("events.jsonl"))) {
        if (e.at("type").get<std::string>() == "push") {
            if (e.contains("token"))
                tokens.push_back(e.at("token").get<std::string>());
            else
                errors.push_back(e.at("error").get<std::string>());
        } else if (e.at("type").get<std::string>() == "store-page") {
            pages.push_back(e.at("id").get<std::string>() + " " + e.at("state").get<std::string>());
        }
    }
    ASSERT_EQ(tokens.size(), 2u);
    EXPECT_EQ(tokens[0].size(), 64u);
    EXPECT_EQ(tokens[0], tokens[1]); // the same data folder, the same token
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(pages, (std::vector<std::string>{"42 shown", "42 shown", "42 failed"}));
}

TEST_F(NetworkScriptTest, WithTheNetworkOffNoRequestLeavesTheProcess)
{
    auto chain = chainOnTap("/slow", 1);
    LaunchOptions options;
    options.network = false;
    options.eventsFile = _dir / "events.jsonl";
    ASSERT_EQ(runScript("tap tag 10\nsettle\n", options), 0) << _errors;
    EXPECT_EQ(chain->failed, 1);
    EXPECT_EQ(seen, 0);
    bool told = false;
    for (const auto& e : jsonLines(readText("events.jsonl")))
        if (e.at("type").get<std::string>() == "http")
            told = e.at("error").get<std::string>() == "The network is off";
    EXPECT_TRUE(told);

    // The next launch with the network on reaches the server again.
    chain = chainOnTap("/slow", 1);
    ASSERT_EQ(runScript("tap tag 10\nsettle\n"), 0) << _errors;
    EXPECT_EQ(chain->finished, 1);
    EXPECT_EQ(seen, 1);
}

} // namespace

} // namespace vq::test
