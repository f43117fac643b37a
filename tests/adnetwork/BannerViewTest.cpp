#include "support/Harness.h"
#include "support/LoopbackServer.h"

#include "adnetwork/BannerView.h"
#include "core/EventHub.h"
#include "core/Log.h"
#include "core/RunLoop.h"
#include "core/Timer.h"
#include "graphics/Image.h"
#include "net/HttpRequest.h"
#include "net/RunQueue.h"
#include "system/Application.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace vq::test {

namespace {

std::string pngBytes(int width, int height)
{
    auto image = Image::blank(width, height, 2);
    auto data = image->pngData();
    return {data.begin(), data.end()};
}

std::string jpegBytes(int width, int height)
{
    auto data = jpegRepresentation(*Image::blank(width, height, 2), 0.8);
    return {data.begin(), data.end()};
}

// A PNG head that announces a picture far too big to decode.
std::string hugePngHead()
{
    std::string head("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\x01\x86\xa0\0\x01\x86\xa0\x08\x06\0\0\0", 29);
    return head + std::string(64, '\0');
}

struct Delegate : BannerViewDelegate {
    void adViewDidReceiveAd(BannerView& banner) override
    {
        ++received;
        heightAtCall = banner.frame().height();
        imageAtCall = banner.image() != nullptr;
    }
    int received = 0;
    double heightAtCall = 0;
    bool imageAtCall = false;
};

// A banner on screen (not yet placed anywhere) and a loopback ad server whose
// reply the test chooses.
class BannerViewTest : public testing::Test {
protected:
    BannerViewTest()
    {
        HttpRequest::setDefaultExecutor([](std::function<void()> task) { RunLoop::main().post(std::move(task)); });
        server.http().Get("/banner", [this](const httplib::Request& req, httplib::Response& res) {
            {
                std::lock_guard lock(mutex);
                queries.push_back(req.params);
            }
            ++seen;
            for (int i = 0; i < 100 && hold; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            std::lock_guard lock(mutex);
            if (cutOff) {
                // Promises a big picture, sends its start, then drops the connection.
                std::string start = body.substr(0, 100);
                res.set_content_provider(100000, "image/png", [start](std::size_t, std::size_t, httplib::DataSink& sink) {
                    sink.write(start.data(), start.size());
                    return false;
                });
                return;
            }
            res.status = status;
            if (!link.empty())
                res.set_header("X-Banner-Link", link);
            res.set_content(body, "image/png");
        });
        // A trailing slash makes no double one.
        BannerView::setAdServer(server.url("/"));
        banner = BannerView::create(AdSize::SmartBannerPortrait);
        banner->setDelegate(delegate);
        subscription = EventHub::shared().subscribe<BannerEvent>(
            [this](const BannerEvent& e) { events.push_back(e.state + " " + e.unit); });
    }
    ~BannerViewTest() override
    {
        hold = false;
        banner.reset();
        // Requests still out would hold the HTTP queue into the next test.
        RunLoop::main().runUntil([] { return RunQueue::shared().runningCount() + RunQueue::shared().waitingCount() == 0; },
                                 30);
        RunLoop::main().runPending();
    }

    void load(std::optional<std::string> key, std::optional<std::vector<std::string>> testDevices = std::nullopt)
    {
        banner->setAdUnitID(std::move(key));
        auto request = AdRequest::request();
        request.setTestDevices(std::move(testDevices));
        banner->loadRequest(request);
    }
    // Real time passes until the load in flight has ended.
    bool loadEnds() { return RunLoop::main().runUntil([this] { return !banner->isLoading(); }, 20); }
    // No load before the minute is up, one at it, and it ends.
    void expectReloadAfterAMinute()
    {
        harness.advance(59);
        EXPECT_FALSE(banner->isLoading());
        harness.advance(1);
        ASSERT_TRUE(banner->isLoading());
        ASSERT_TRUE(loadEnds());
    }
    void reply(int newStatus, std::string newBody)
    {
        std::lock_guard lock(mutex);
        status = newStatus;
        body = std::move(newBody);
    }
    std::multimap<std::string, std::string> lastQuery()
    {
        std::lock_guard lock(mutex);
        return queries.empty() ? std::multimap<std::string, std::string>{} : queries.back();
    }
    static std::string param(const std::multimap<std::string, std::string>& q, const std::string& key)
    {
        auto it = q.find(key);
        return it == q.end() ? "<absent>" : it->second;
    }

    Harness harness;
    std::mutex mutex;
    std::vector<std::multimap<std::string, std::string>> queries;
    int status = 200;
    std::string body = pngBytes(640, 100);
    std::string link;
    std::atomic<int> seen{0};
    std::atomic<bool> hold{false};
    bool cutOff = false;
    std::shared_ptr<Delegate> delegate = std::make_shared<Delegate>();
    std::shared_ptr<BannerView> banner;
    std::vector<std::string> events;
    Subscription subscription;
    // Last, so it stops before what its handler reads goes away.
    LoopbackServer server;
};

} // namespace

TEST_F(BannerViewTest, ALoadShowsThePictureWithItsFrameAlreadyFinalAndATapOpensItsLink)
{
    link = "http://store.example/app/id42";
    load("unit a/1", std::vector<std::string>{"someone-else"});
    ASSERT_TRUE(loadEnds());

    auto q = lastQuery();
    EXPECT_EQ(param(q, "unit"), "unit a/1");
    EXPECT_EQ(param(q, "w"), "320");
    EXPECT_EQ(param(q, "h"), "50");
    EXPECT_EQ(param(q, "test"), "0");
    EXPECT_EQ(delegate->received, 1);
    EXPECT_EQ(delegate->heightAtCall, 50);
    EXPECT_TRUE(delegate->imageAtCall);
    ASSERT_TRUE(banner->image());
    EXPECT_EQ(banner->image()->size(), (Size{320, 50}));
    EXPECT_EQ(events, (std::vector<std::string>{"requested unit a/1", "received unit a/1"}));

    auto window = harness.makeWindow();
    window->rootViewController()->view()->addSubview(banner);
    Point centre = banner->convertRectTo(banner->bounds(), nullptr).center();
    harness.tap(centre.x, centre.y);
    EXPECT_EQ(harness.app().openedURLs(), (std::vector<std::string>{"http://store.example/app/id42"}));
}

TEST_F(BannerViewTest, TestAdsOnlyForDevicesOnTheListAndLinksOnlyToTheWeb)
{
    link = "sms://123";
    load("k", std::vector<std::string>{"other", BannerView::deviceIdentifier()});
    ASSERT_TRUE(loadEnds());
    EXPECT_EQ(param(lastQuery(), "test"), "1");
    EXPECT_EQ(BannerView::deviceIdentifier().size(), 32u);
    // A link that is not a web address is not followed.
    EXPECT_EQ(banner->clickURL(), std::nullopt);
    banner->openClickURL();
    EXPECT_TRUE(harness.app().openedURLs().empty());

    load("k");
    ASSERT_TRUE(loadEnds());
    EXPECT_EQ(param(lastQuery(), "test"), "0");
}

TEST_F(BannerViewTest, WithoutAUsableKeyNothingIsFetchedOrHeard)
{
    for (auto key : {std::optional<std::string>(), std::optional<std::string>(""), std::optional<std::string>("none")}) {
        load(key);
        EXPECT_FALSE(banner->isLoading());
    }
    RunLoop::main().runUntil([] { return false; }, 0.3);
    harness.advance(600);
    EXPECT_EQ(seen, 0);
    EXPECT_EQ(delegate->received, 0);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(banner->loadCount(), 3u);
}

TEST_F(BannerViewTest, BadRepliesFailQuietlyWithOneLogLine)
{
    HttpRequest::setTimeOutSecondsForTesting(0.5);
    struct Case {
        const char* name;
        int status;
        std::string body;
        bool slow = false;
        bool cutOff = false;
    };
    for (const Case& c : {Case{"not found", 404, pngBytes(640, 100)}, Case{"not a picture", 200, "<html>hello</html>"},
                          Case{"a broken picture", 200, pngBytes(640, 100).substr(0, 60)},
                          Case{"huge dimensions", 200, hugePngHead()},
                          Case{"too wide", 200, pngBytes(BannerView::maxPictureSide + 1, 20)},
                          Case{"a JPEG too tall", 200, jpegBytes(20, BannerView::maxPictureSide + 1)},
                          Case{"too many pixels", 200,
                               jpegBytes(BannerView::maxPictureSide,
                                         static_cast<int>(BannerView::maxPicturePixels / BannerView::maxPictureSide) + 1)},
                          Case{"a GIF", 200, "GIF89a\x01\0\x01\0\0\0\0;"},
                          Case{"huge body", 200, pngBytes(640, 100) + std::string(BannerView::maxPictureBytes, 'x')},
                          Case{"a 5 MB picture", 200, pngBytes(640, 100) + std::string(5'000'000, 'x')},
                          Case{"slow", 200, pngBytes(640, 100), true},
                          Case{"cut off", 200, pngBytes(640, 100), false, true}}) {
        SCOPED_TRACE(c.name);
        reply(c.status, c.body);
        {
            std::lock_guard lock(mutex);
            cutOff = c.cutOff;
        }
        hold = c.slow;
        events.clear();
        LogCapture log;
        load("u1");
        ASSERT_TRUE(loadEnds());
        hold = false;
        EXPECT_EQ(delegate->received, 0);
        EXPECT_EQ(banner->image(), nullptr);
        EXPECT_EQ(events, (std::vector<std::string>{"requested u1", "failed u1"}));
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_EQ(log.lines()[0].rfind("banner u1 failed to load: ", 0), 0u) << log.lines()[0];
    }
    HttpRequest::setTimeOutSecondsForTesting(HttpRequest::defaultTimeOutSeconds);

    // Nobody listening at all.
    BannerView::setAdServer(fmt::format("http://127.0.0.1:{}", unusedPort()));
    events.clear();
    load("u2");
    ASSERT_TRUE(loadEnds());
    EXPECT_EQ(events, (std::vector<std::string>{"requested u2", "failed u2"}));
    EXPECT_EQ(delegate->received, 0);
}

TEST_F(BannerViewTest, AShownBannerRefreshesEveryMinuteUntilItGoesAway)
{
    load("r");
    ASSERT_TRUE(loadEnds());
    ASSERT_EQ(delegate->received, 1);
    auto timer = banner->refreshTimer();
    ASSERT_TRUE(timer);

    ASSERT_NO_FATAL_FAILURE(expectReloadAfterAMinute());
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(delegate->received, 2);

    // A refresh that fails keeps what is shown and the minute going.
    auto shown = banner->image();
    reply(404, "");
    harness.advance(60);
    ASSERT_TRUE(loadEnds());
    EXPECT_EQ(delegate->received, 2);
    EXPECT_EQ(banner->image(), shown);
    // Another picture (the same bytes would share the shown one's pixels).
    reply(200, pngBytes(640, 99));
    harness.advance(60);
    ASSERT_TRUE(loadEnds());
    EXPECT_EQ(delegate->received, 3);
    EXPECT_NE(banner->image(), shown);
    EXPECT_EQ(seen, 4);

    banner.reset();
    EXPECT_FALSE(timer->isValid());
    harness.advance(600);
    RunLoop::main().runUntil([] { return false; }, 0.3);
    EXPECT_EQ(seen, 4);
}

TEST_F(BannerViewTest, AFirstLoadThatFailsIsTriedAgainEveryMinuteUntilABannerComes)
{
    for (int failStatus : {503, 404}) {
        SCOPED_TRACE(failStatus);
        reply(failStatus, "");
        seen = 0;
        load(fmt::format("retry{}", failStatus));
        ASSERT_TRUE(loadEnds());
        ASSERT_TRUE(banner->refreshTimer());
        ASSERT_NO_FATAL_FAILURE(expectReloadAfterAMinute());
        EXPECT_EQ(seen, 2);
        EXPECT_EQ(delegate->received, 0);
        EXPECT_EQ(banner->image(), nullptr);
    }
    // Nobody listening, then the server is back.
    int port = unusedPort();
    BannerView::setAdServer(fmt::format("http://127.0.0.1:{}", port));
    harness.advance(60);
    ASSERT_TRUE(loadEnds());
    EXPECT_EQ(delegate->received, 0);

    BannerView::setAdServer(server.url(""));
    reply(200, jpegBytes(640, 100));
    events.clear();
    harness.advance(60);
    ASSERT_TRUE(loadEnds());
    EXPECT_EQ(delegate->received, 1);
    ASSERT_TRUE(banner->image());
    EXPECT_EQ(param(lastQuery(), "unit"), "retry404");
    EXPECT_EQ(events, (std::vector<std::string>{"requested retry404", "received retry404"}));
    // One timer throughout: a failure never starts a second.
    harness.advance(60);
    ASSERT_TRUE(loadEnds());
    EXPECT_EQ(delegate->received, 2);
}

TEST_F(BannerViewTest, JpegPicturesAreShownLikePngOnes)
{
    reply(200, jpegBytes(640, 100));
    load("jpeg");
    ASSERT_TRUE(loadEnds());
    ASSERT_EQ(delegate->received, 1);
    ASSERT_TRUE(banner->image());
    EXPECT_EQ(banner->image()->pixelWidth(), 640);
    EXPECT_EQ(banner->image()->size(), (Size{320, 50}));

    // At the very edge of the caps, both ways.
    reply(200, jpegBytes(BannerView::maxPictureSide, 20));
    load("edge");
    ASSERT_TRUE(loadEnds());
    EXPECT_EQ(delegate->received, 2);
    EXPECT_EQ(banner->image()->pixelWidth(), BannerView::maxPictureSide);
}

TEST_F(BannerViewTest, AViewThatGoesAwayMidLoadHearsNothing)
{
    hold = true;
    load("gone");
    ASSERT_TRUE(RunLoop::main().runUntil([this] { return seen == 1; }, 20));
    banner.reset();
    hold = false;
    RunLoop::main().runUntil([] { return RunQueue::shared().runningCount() == 0; }, 20);
    RunLoop::main().runUntil([] { return false; }, 0.3);
    EXPECT_EQ(delegate->received, 0);
    EXPECT_EQ(events, (std::vector<std::string>{"requested gone"}));
}

TEST_F(BannerViewTest, ANewLoadReplacesTheOneInFlight)
{
    hold = true;
    load("first");
    ASSERT_TRUE(RunLoop::main().runUntil([this] { return seen == 1; }, 20));
    hold = false;
    load("second");
    ASSERT_TRUE(loadEnds());
    RunLoop::main().runUntil([] { return RunQueue::shared().runningCount() == 0; }, 20);
    RunLoop::main().runPending();
    EXPECT_EQ(delegate->received, 1);
    EXPECT_EQ(events, (std::vector<std::string>{"requested first", "requested second", "received second"}));
}

} // namespace vq::test
