#include "NetTestFixture.h"
#include "net/BlockingGet.h"
#include "net/RequestObserver.h"

#include <chrono>

using namespace vq;
using namespace vq::test;

namespace {

class BlockingGetTest : public NetTest {
protected:
    void SetUp() override
    {
        NetTest::SetUp();
        auto& http = server.http();
        http.Get("/list", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<plist/>", "application/x-plist");
        });
        http.Get("/moved", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/list", 302); });
        http.Get("/zipped", [](const httplib::Request& req, httplib::Response& res) {
            EXPECT_EQ(req.get_header_value("Accept-Encoding"), "gzip");
            res.set_header("Content-Encoding", "gzip");
            res.set_content(gzip("inflated"), "application/octet-stream");
        });
        http.Get("/missing", [](const httplib::Request&, httplib::Response& res) { res.status = 404; });
        http.Get("/loop", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/loop", 302); });
        // Sends a byte every half second for ever: never idle, never done.
        http.Get("/endless", [](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("text/plain", [](std::size_t, httplib::DataSink& sink) {
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
                return sink.write("x", 1);
            });
        });
    }
    void TearDown() override
    {
        setRequestObserver(nullptr);
        NetTest::TearDown();
    }
};

TEST_F(BlockingGetTest, ReturnsTheFinalResponseWithoutRunningTheCallersTasks)
{
    bool ran = false;
    TestLoop::shared().post([&] { ran = true; });
    std::vector<RequestEnded> ended;
    setRequestObserver([&](const RequestEnded& e) { ended.push_back(e); });

    auto response = blockingGet(server.url("/moved"));
    EXPECT_FALSE(ran); // nothing of the caller's loop ran while it waited
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, "<plist/>");
    EXPECT_EQ(response.url, server.url("/list"));
    EXPECT_FALSE(response.error);
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].status, 200);

    EXPECT_EQ(blockingGet(server.url("/zipped")).body, "inflated");
    auto missing = blockingGet(server.url("/missing"));
    EXPECT_EQ(missing.status, 404);
    EXPECT_FALSE(missing.error);
    TestLoop::shared().runPending();
    EXPECT_TRUE(ran);
}

TEST_F(BlockingGetTest, FailuresComeBackAsErrors)
{
    EXPECT_TRUE(blockingGet("quillpro://x").error);
    EXPECT_TRUE(blockingGet(fmt::format("http://127.0.0.1:{}/", closedPort())).error);
    auto loop = blockingGet(server.url("/loop"));
    ASSERT_TRUE(loop.error);
    EXPECT_NE(loop.error->find("too many times"), std::string::npos);
}

TEST_F(BlockingGetTest, AResponseThatNeverEndsIsCutOffAtTheTimeOutInAll)
{
    HttpRequest::setTimeOutSecondsForTesting(1.5);
    auto began = std::chrono::steady_clock::now();
    auto response = blockingGet(server.url("/endless"));
    auto took = std::chrono::steady_clock::now() - began;
    EXPECT_EQ(response.error, "The request timed out");
    EXPECT_GE(took, std::chrono::milliseconds(1400));
    EXPECT_LT(took, std::chrono::seconds(5)); // the bytes keep coming, yet the wait ends
}

} // namespace
