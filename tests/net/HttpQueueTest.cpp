#include "NetTestFixture.h"

#include "support/TempDir.h"

#include "net/CurlLibrary.h"

#include <chrono>

using namespace vq;
using namespace vq::test;

namespace {

class HttpQueueTest : public NetTest {
protected:
    void SetUp() override
    {
        NetTest::SetUp();
        auto& http = server.http();
        http.Get("/hold", [this](const httplib::Request& req, httplib::Response& res) {
            server.record(req);
            server.hold();
            res.set_content("held", "application/octet-stream");
        });
        http.Get("/fast", [this](const httplib::Request& req, httplib::Response& res) {
            server.record(req);
            res.set_content("fast", "application/octet-stream");
        });
        // Part of the body, then silence until released.
        http.Get("/hold-mid-body", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(2000, "application/octet-stream",
                                     [this](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                         if (offset > 0)
                                             server.hold();
                                         std::string part(1000, 'x');
                                         sink.write(part.data(), part.size());
                                         return true;
                                     });
        });
        // A byte every 0.1 s: slow, but never idle for long.
        http.Get("/trickle", [](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(20, "application/octet-stream",
                                     [](std::size_t, std::size_t, httplib::DataSink& sink) {
                                         std::this_thread::sleep_for(std::chrono::milliseconds(100));
                                         sink.write("t", 1);
                                         return true;
                                     });
        });
    }

    std::shared_ptr<HttpRequest> start(const std::string& path, const std::shared_ptr<Recorder>& recorder)
    {
        auto request = HttpRequest::requestWithURL(server.url(path));
        request->setDelegate(recorder);
        request->startAsynchronous();
        return request;
    }
};

TEST_F(HttpQueueTest, AFifthRequestWaitsForOneOfFourInStartingOrder)
{
    auto recorder = std::make_shared<Recorder>();
    std::vector<std::shared_ptr<HttpRequest>> requests;
    for (int i = 0; i < 4; ++i)
        requests.push_back(start("/hold?n=" + std::to_string(i), recorder));
    ASSERT_TRUE(runUntil([&] { return server.seenCount("/hold") == 4; }));
    auto fifth = start("/fast?n=5", recorder);
    auto sixth = start("/fast?n=6", recorder);

    // A while with four held: neither may start.
    TestLoop::shared().runFor(0.3);
    EXPECT_FALSE(fifth->isExecuting());
    EXPECT_EQ(recorder->started, 4);
    EXPECT_EQ(server.seenCount("/fast"), 0u);

    server.release(1);
    ASSERT_TRUE(runUntil([&] { return fifth->isFinished() && sixth->isFinished(); }));
    server.release();
    ASSERT_TRUE(runUntil([&] { return recorder->finished == 6; }));
    std::vector<std::string> expected;
    for (auto& request : {requests[0], requests[1], requests[2], requests[3], fifth, sixth})
        expected.push_back(request->url());
    EXPECT_EQ(recorder->startedUrls, expected);
}

TEST_F(HttpQueueTest, PicturesWaitBehindEveryOtherRequest)
{
    auto recorder = std::make_shared<Recorder>();
    std::vector<std::shared_ptr<HttpRequest>> held;
    for (int i = 0; i < 4; ++i)
        held.push_back(start("/hold?n=" + std::to_string(i), recorder));
    ASSERT_TRUE(runUntil([&] { return server.seenCount("/hold") == 4; }));
    std::vector<std::shared_ptr<HttpRequest>> pictures;
    for (int i = 0; i < 3; ++i) {
        pictures.push_back(HttpRequest::requestWithURL(server.url("/fast?picture=" + std::to_string(i))));
        pictures.back()->setLowPriority(true);
        pictures.back()->setDelegate(recorder);
        pictures.back()->startAsynchronous();
    }
    auto report = start("/fast?report", recorder);
    server.release(1);
    ASSERT_TRUE(runUntil([&] { return report->isFinished(); }));
    EXPECT_EQ(recorder->startedUrls.at(4), report->url()) << "the report went first, though queued last";
    server.release();
    ASSERT_TRUE(runUntil([&] { return recorder->finished == 8; }));
}

TEST_F(HttpQueueTest, CancelFailsOnceUnlessTheDelegateWasCleared)
{
    auto cancelled = std::make_shared<Recorder>();
    auto running = start("/hold?n=1", cancelled);
    ASSERT_TRUE(runUntil([&] { return server.seenCount("/hold") == 1; }));
    running->cancel();
    EXPECT_FALSE(running->isExecuting());
    running->cancel(); // a second cancel changes nothing
    ASSERT_TRUE(runUntil([&] { return cancelled->ended(); }));
    EXPECT_EQ(cancelled->failed, 1);
    EXPECT_EQ(running->error(), "The request was cancelled");

    auto quiet = std::make_shared<Recorder>();
    auto cleared = start("/hold?n=2", quiet);
    ASSERT_TRUE(runUntil([&] { return server.seenCount("/hold") == 2; }));
    cleared->clearDelegatesAndCancel();
    // Whatever was to come for it has been delivered by the time a later request ends.
    auto [later, laterRecorder] = fetch(server.url("/fast"));
    EXPECT_EQ(laterRecorder->finished, 1);
    EXPECT_EQ(quiet->started, 1);
    EXPECT_EQ(quiet->finished + quiet->failed, 0);
    EXPECT_TRUE(cleared->isFinished());

    // Still waiting in the queue: it fails without ever starting.
    auto holders = std::make_shared<Recorder>();
    for (int i = 0; i < 4; ++i)
        start("/hold?n=" + std::to_string(10 + i), holders);
    auto waiting = start("/fast?waiting", quiet);
    ASSERT_TRUE(runUntil([&] { return holders->started == 4; }));
    waiting->cancel();
    ASSERT_TRUE(runUntil([&] { return quiet->failed == 1; }));
    EXPECT_EQ(quiet->started, 1);
    server.release();
    ASSERT_TRUE(runUntil([&] { return holders->finished == 4; }));
    EXPECT_EQ(server.seenCount("/fast"), 1u);
}

TEST_F(HttpQueueTest, CancellingADownloadRemovesItsTemporaryFile)
{
    TempDir dir;
    auto recorder = std::make_shared<Recorder>();
    auto request = HttpRequest::requestWithURL(server.url("/hold-mid-body"));
    request->setDelegate(recorder);
    request->setDownloadDestinationPath(dir / "out.bin");
    request->startAsynchronous();
    // The first half is on disk, in a temporary file beside the destination.
    ASSERT_TRUE(runUntil([&] { return filesIn(dir.path()).size() == 1; }));
    EXPECT_NE(filesIn(dir.path()).front(), "out.bin");
    request->cancel();
    ASSERT_TRUE(runUntil([&] { return recorder->ended() && filesIn(dir.path()).empty(); }));
    EXPECT_EQ(recorder->failed, 1);
}

TEST_F(HttpQueueTest, ARequestOutlivesItsCallerButNotItsDelegate)
{
    auto recorder = std::make_shared<Recorder>();
    start("/fast", recorder);
    ASSERT_TRUE(runUntil([&] { return recorder->ended(); }));
    EXPECT_EQ(recorder->finished, 1);
    EXPECT_EQ(recorder->last->responseData(), "fast");

    // The delegate is not retained: once gone, the request ends without it.
    auto request = HttpRequest::requestWithURL(server.url("/fast?n=2"));
    {
        auto gone = std::make_shared<Recorder>();
        request->setDelegate(gone);
        request->startAsynchronous();
    }
    EXPECT_EQ(request->delegate(), nullptr);
    ASSERT_TRUE(runUntil([&] { return request->isFinished(); }));
    EXPECT_EQ(request->responseData(), "fast");
}

TEST_F(HttpQueueTest, SilenceTimesOutOnceWhileSlowSteadyBytesDoNot)
{
    HttpRequest::setTimeOutSecondsForTesting(1);
    auto began = std::chrono::steady_clock::now();
    auto [request, recorder] = fetch(server.url("/hold"));
    EXPECT_GE(std::chrono::steady_clock::now() - began, std::chrono::seconds(1));
    EXPECT_EQ(recorder->failed, 1);
    EXPECT_EQ(request->error(), "The request timed out");
    EXPECT_EQ(request->responseStatusCode(), 0); // no head arrived

    // The head arrived before the silence: its status stays.
    auto [midBody, midBodyRecorder] = fetch(server.url("/hold-mid-body"));
    EXPECT_EQ(midBody->error(), "The request timed out");
    EXPECT_EQ(midBody->responseStatusCode(), 200);

    // 2 s in all, never 1 s without a byte.
    auto [slow, slowRecorder] = fetch(server.url("/trickle"));
    EXPECT_EQ(slowRecorder->finished, 1);
    EXPECT_EQ(slow->responseData(), std::string(20, 't'));

    // No retry went out in the meantime.
    EXPECT_EQ(server.seenCount("/hold"), 1u);

    // Bytes trickling in for longer than the deadline: it ends there, and its slot is free.
    auto trickle = HttpRequest::requestWithURL(server.url("/trickle"));
    auto trickleRecorder = std::make_shared<Recorder>();
    trickle->setDelegate(trickleRecorder);
    trickle->setDeadlineSeconds(0.5);
    trickle->startAsynchronous();
    ASSERT_TRUE(runUntil([&] { return trickleRecorder->failed + trickleRecorder->finished > 0; }));
    EXPECT_EQ(trickleRecorder->failed, 1);
    EXPECT_EQ(trickle->error(), "The request timed out");
    EXPECT_EQ(RunQueue::shared().runningCount(), 0u);
}

TEST_F(HttpQueueTest, CancelledWhileTheLibraryLoadsEndsOnceAndSendsNothing)
{
    if (curlLibraryReady())
        GTEST_SKIP() << "the network library was loaded earlier in this process";
    auto cancelled = std::make_shared<Recorder>();
    auto kept = std::make_shared<Recorder>();
    auto first = start("/fast?n=cancelled", cancelled);
    auto second = start("/fast?n=kept", kept);
    TestLoop::shared().runPending();
    EXPECT_TRUE(first->isExecuting());
    first->cancel();
    ASSERT_TRUE(runUntil([&] { return kept->ended(); }));
    TestLoop::shared().runPending();
    EXPECT_EQ(cancelled->failed, 1);
    EXPECT_EQ(cancelled->finished, 0);
    EXPECT_EQ(kept->finished, 1);
    EXPECT_EQ(server.seenCount("/fast"), 1u);
}

TEST_F(HttpQueueTest, CancelRacingCompletionStillEndsEachRequestOnce)
{
    // Loaded first: a request waiting for the library needs the loop, which this test holds still.
    ASSERT_NE(curlLibrary(), nullptr);
    constexpr int count = 60;
    std::vector<std::shared_ptr<Recorder>> recorders;
    std::vector<std::shared_ptr<HttpRequest>> requests;
    for (int i = 0; i < count; ++i) {
        recorders.push_back(std::make_shared<Recorder>());
        requests.push_back(start("/fast?n=" + std::to_string(i), recorders.back()));
        ASSERT_TRUE(runUntil([&] { return requests.back()->isExecuting(); }));
        // Cancel once the server has answered, while the response is on its way back.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (server.seenCount("/fast") <= static_cast<std::size_t>(i) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        requests.back()->cancel();
    }
    ASSERT_TRUE(runUntil([&] {
        return std::all_of(recorders.begin(), recorders.end(), [](auto& r) { return r->ended(); });
    }));
    TestLoop::shared().runPending();
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(recorders[i]->finished + recorders[i]->failed, 1) << i;
}

} // namespace
