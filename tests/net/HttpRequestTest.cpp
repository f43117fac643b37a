#include "NetTestFixture.h"

using namespace vq;
using namespace vq::test;

namespace {

// What the fixture's facts make.
const std::string agent = "Velvet Quill 1.2 rv:34 (iPad; iPhone OS 6.1; fr_FR)";

class HttpRequestTest : public NetTest {
protected:
    void SetUp() override
    {
        NetTest::SetUp();
        auto& http = server.http();
        http.Get(R"(/status/(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
            server.record(req);
            res.status = std::stoi(req.matches[1]);
            res.set_content("body of " + std::string(req.matches[1]), "application/octet-stream");
        });
        // /r/N redirects N more times, then lands on /final.
        http.Get(R"(/r/(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
            server.record(req);
            int left = std::stoi(req.matches[1]);
            res.set_redirect(left > 1 ? "/r/" + std::to_string(left - 1) : "/final", 302);
        });
        auto echo = [this](const httplib::Request& req, httplib::Response& res) {
            server.record(req);
            res.set_content(req.method + " " + req.body, "application/octet-stream");
        };
        http.Get("/final", echo);
        // Its own field, then /final's fields once redirected there.
        http.Get("/fields", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("X-Step", "redirect");
            res.set_header("X-Only-Here", "1");
            res.set_redirect("/fields/final", 302);
        });
        http.Get("/fields/final", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("X-Step", " final : with colon ");
            res.set_content("ok", "text/plain");
        });
        http.Get("/echo", echo);
        http.Post("/echo", echo);
        http.Get("/dir/sub/b", echo);
        http.Get("/up", echo);
        http.Post(R"(/to/(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
            server.record(req);
            res.set_redirect(req.get_param_value("where"), std::stoi(req.matches[1]));
        });
        http.Get("/dir/sub/a", [](const httplib::Request&, httplib::Response& res) {
            res.status = 301;
            res.set_header("Location", "b?x=1");
        });
        http.Get("/dir/sub/b2", [](const httplib::Request&, httplib::Response& res) {
            res.status = 307;
            res.set_header("Location", "../../up");
        });
        http.Get("/to-file", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("file:///etc/hostname", 302);
        });
        http.Get("/to-credentials", [this](const httplib::Request&, httplib::Response& res) {
            res.set_redirect(fmt::format("http://user:pw@127.0.0.1:{}/echo", server.port()), 302);
        });
        // Promises 100000 bytes, sends 1000, then drops the connection.
        http.Get("/reset", [](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(100000, "application/octet-stream",
                                     [](std::size_t, std::size_t, httplib::DataSink& sink) {
                                         std::string part(1000, 'x');
                                         sink.write(part.data(), part.size());
                                         return false;
                                     });
        });
    }
};

TEST_F(HttpRequestTest, EveryStatusButUnauthorizedFinishesWithItsBody)
{
    for (int status : {200, 404, 500}) {
        auto [request, recorder] = fetch(server.url("/status/" + std::to_string(status)));
        EXPECT_EQ(recorder->finished, 1) << status;
        EXPECT_EQ(recorder->started, 1);
        EXPECT_EQ(request->responseStatusCode(), status);
        EXPECT_EQ(request->responseData(), "body of " + std::to_string(status));
        EXPECT_FALSE(request->error());
        EXPECT_FALSE(request->isExecuting());
    }
    auto [request, recorder] = fetch(server.url("/status/401"));
    EXPECT_EQ(recorder->failed, 1);
    EXPECT_EQ(request->responseStatusCode(), 401);
    EXPECT_EQ(request->error(), "Authentication needed");

    // What every request carries.
    auto seen = server.seen().front();
    EXPECT_EQ(seen.method, "GET");
    EXPECT_EQ(seen.header("Accept-Encoding"), "gzip");
    EXPECT_EQ(seen.header("User-Agent"), agent);
    EXPECT_FALSE(seen.has("Authorization"));
}

TEST_F(HttpRequestTest, UserAgentNamesTheAppItsVersionAndTheDevice)
{
    EXPECT_EQ(UserAgent::format({"Velvet Quill", "VelvetQuill", "1.2", "1.2", "iPhone", "iPhone OS", "7.0", "en_US"}),
              "Velvet Quill 1.2 (iPhone; iPhone OS 7.0; en_US)");
    EXPECT_EQ(UserAgent::format({"", "VelvetQuill", "1.2", "34", "iPad", "iPhone OS", "6.1", "fr_FR"}),
              "VelvetQuill 1.2 rv:34 (iPad; iPhone OS 6.1; fr_FR)");
    EXPECT_EQ(UserAgent::format({"", "VelvetQuill", "", "34", "iPad", "iPhone OS", "6.1", "fr_FR"}),
              "VelvetQuill 34 (iPad; iPhone OS 6.1; fr_FR)");
    EXPECT_EQ(UserAgent::format({"", "", "1.2", "34", "iPad", "iPhone OS", "6.1", "fr_FR"}), std::nullopt);

    // Facts given later hold for the requests made after them.
    HttpRequest::setUserAgentFacts({"Quill", "", "2.0", "", "iPhone", "iPhone OS", "5.1", "de_DE"});
    fetch(server.url("/echo"));
    EXPECT_EQ(server.seen().back().header("User-Agent"), "Quill 2.0 (iPhone; iPhone OS 5.1; de_DE)");

    // Without a name no header of its own: curl adds none either.
    HttpRequest::setUserAgentFacts({});
    fetch(server.url("/echo"));
    EXPECT_FALSE(server.seen().back().has("User-Agent"));
}

TEST_F(HttpRequestTest, CallbacksComeOnlyThroughTheExecutorTheRequestWasGiven)
{
    // Keeps what it is handed until the test runs it, on the test's thread.
    struct Held {
        std::mutex mutex;
        std::vector<std::function<void()>> tasks;
        bool run()
        {
            std::vector<std::function<void()>> now;
            {
                std::lock_guard lock(mutex);
                now.swap(tasks);
            }
            for (auto& task : now)
                task();
            return !now.empty();
        }
    };
    auto held = std::make_shared<Held>();
    auto request = HttpRequest::requestWithURL(server.url("/status/200"), [held](std::function<void()> task) {
        std::lock_guard lock(held->mutex);
        held->tasks.push_back(std::move(task));
    });
    auto recorder = std::make_shared<Recorder>();
    request->setDelegate(recorder);
    request->startAsynchronous();

    // The default loop alone neither starts it nor reports on it.
    TestLoop::shared().runFor(0.3);
    EXPECT_EQ(server.seenCount("/status/200"), 0u);
    EXPECT_EQ(recorder->started, 0);

    ASSERT_TRUE(runUntil([&] {
        held->run();
        return recorder->ended();
    }));
    EXPECT_EQ(recorder->started, 1);
    EXPECT_EQ(recorder->finished, 1);
    EXPECT_EQ(request->responseData(), "body of 200");
}

TEST_F(HttpRequestTest, FiveRedirectsAreFollowedAndASixthFails)
{
    auto [request, recorder] = fetch(server.url("/r/5"));
    EXPECT_EQ(recorder->finished, 1);
    EXPECT_EQ(request->responseStatusCode(), 200);
    EXPECT_EQ(request->url(), server.url("/final"));
    EXPECT_EQ(request->responseData(), "GET ");
    // One start per attempt, each at the address it was about to fetch.
    ASSERT_EQ(recorder->started, 6);
    EXPECT_EQ(recorder->startedUrls[1], server.url("/r/4"));
    EXPECT_EQ(recorder->startedUrls[5], server.url("/final"));

    auto [tooMany, tooManyRecorder] = fetch(server.url("/r/6"));
    EXPECT_EQ(tooManyRecorder->failed, 1);
    EXPECT_EQ(tooMany->error(), "The request failed because it redirected too many times");
    EXPECT_EQ(server.seenCount("/final"), 1u);
}

TEST_F(HttpRequestTest, ResponseFieldsAreTheFinalResponsesByNameInAnyCase)
{
    auto [request, recorder] = fetch(server.url("/fields"));
    EXPECT_EQ(recorder->finished, 1);
    EXPECT_EQ(request->responseHeader("x-step"), "final : with colon");
    EXPECT_EQ(request->responseHeader("Content-Type"), "text/plain");
    EXPECT_EQ(request->responseHeader("X-Only-Here"), std::nullopt);
    EXPECT_EQ(request->responseHeader("X-Step:"), std::nullopt);
}

TEST_F(HttpRequestTest, SeeOtherGoesOnAsPlainGetWhileTemporaryRedirectKeepsEverything)
{
    auto post = [&](int status) {
        auto request = HttpRequest::requestWithURL(server.url(fmt::format("/to/{}?where=/echo", status)));
        request->setRequestMethod("POST");
        request->setPostBody("payload");
        request->addRequestHeader("X-Custom", "kept?");
        request->addRequestHeader("Accept", "text/plain");
        return fetch(request);
    };
    for (int status : {301, 302, 303}) {
        auto [request, recorder] = post(status);
        EXPECT_EQ(request->responseData(), "GET ") << status;
        auto landed = server.seen().back();
        EXPECT_EQ(landed.path, "/echo");
        EXPECT_FALSE(landed.has("X-Custom")) << status;
        EXPECT_EQ(landed.header("Accept"), "text/plain");
        EXPECT_EQ(landed.header("User-Agent"), agent);
        EXPECT_EQ(landed.header("Accept-Encoding"), "gzip");
    }
    auto [request, recorder] = post(307);
    EXPECT_EQ(request->responseData(), "POST payload");
    EXPECT_EQ(server.seen().back().header("X-Custom"), "kept?");
}

TEST_F(HttpRequestTest, RelativeLocationsResolveAgainstTheCurrentAddress)
{
    auto [request, recorder] = fetch(server.url("/dir/sub/a"));
    EXPECT_EQ(request->url(), server.url("/dir/sub/b?x=1"));
    EXPECT_EQ(request->responseStatusCode(), 200);

    auto [up, upRecorder] = fetch(server.url("/dir/sub/b2"));
    EXPECT_EQ(up->url(), server.url("/up"));
    EXPECT_EQ(upRecorder->finished, 1);
}

TEST_F(HttpRequestTest, CredentialsAndCookiesStayWithTheirHost)
{
    TestServer other;
    other.http().Post("/landing", [&](const httplib::Request& req, httplib::Response& res) {
        other.record(req);
        res.set_content("ok", "application/octet-stream");
    });
    auto send = [&](const std::string& where) {
        auto request = HttpRequest::requestWithURL(server.url("/to/307?where=" + where));
        request->setRequestMethod("POST");
        request->addRequestHeader("Authorization", "Basic dXNlcjpwYXNz");
        request->addRequestHeader("Cookie", "session=1");
        request->addRequestHeader("X-Custom", "1");
        return fetch(request);
    };

    send(other.url("/landing"));
    ASSERT_EQ(other.seen().size(), 1u);
    auto elsewhere = other.seen().front();
    EXPECT_FALSE(elsewhere.has("Authorization"));
    EXPECT_FALSE(elsewhere.has("Cookie"));
    EXPECT_EQ(elsewhere.header("X-Custom"), "1");

    send("/echo");
    auto sameHost = server.seen().back();
    EXPECT_EQ(sameHost.path, "/echo");
    EXPECT_EQ(sameHost.header("Authorization"), "Basic dXNlcjpwYXNz");
    EXPECT_EQ(sameHost.header("Cookie"), "session=1");
}

TEST_F(HttpRequestTest, OnlyHttpAndHttpsAreFetchedOrFollowed)
{
    // An address holding a NUL would be fetched only up to it.
    for (std::string url : {std::string("ftp://127.0.0.1/x"), std::string("file:///etc/hostname"),
                            std::string("not a url"), std::string(), std::string("http://"),
                            server.url("/echo") + std::string("\0/x.png", 7)}) {
        auto [request, recorder] = fetch(url);
        EXPECT_EQ(recorder->failed, 1) << url;
        EXPECT_EQ(recorder->started, 0) << url;
        EXPECT_EQ(request->error(), "Unable to create request (bad url?)") << url;
    }
    auto [request, recorder] = fetch(server.url("/to-file"));
    EXPECT_EQ(recorder->failed, 1);
    EXPECT_EQ(request->url(), server.url("/to-file"));
    EXPECT_TRUE(request->responseData().empty());
}

TEST_F(HttpRequestTest, AddressesCarryingCredentialsAreRefused)
{
    auto at = fmt::format("127.0.0.1:{}/echo", server.port());
    for (std::string url : {"http://user:pw@" + at, "http://user@" + at, "http://:pw@" + at, "https://user:pw@" + at}) {
        auto [request, recorder] = fetch(url);
        EXPECT_EQ(recorder->failed, 1) << url;
        EXPECT_EQ(recorder->started, 0) << url;
        EXPECT_EQ(request->error(), "Unable to create request (bad url?)") << url;
    }
    auto [redirected, redirectedRecorder] = fetch(server.url("/to-credentials"));
    EXPECT_EQ(redirectedRecorder->failed, 1);
    EXPECT_EQ(redirected->url(), server.url("/to-credentials"));
    EXPECT_EQ(server.seenCount("/echo"), 0u);
}

TEST_F(HttpRequestTest, RefusedAndBrokenConnectionsFail)
{
    auto [refused, refusedRecorder] = fetch(fmt::format("http://127.0.0.1:{}/", closedPort()));
    EXPECT_EQ(refusedRecorder->failed, 1);
    EXPECT_EQ(refusedRecorder->started, 1);
    ASSERT_TRUE(refused->error());
    EXPECT_EQ(refused->responseStatusCode(), 0);

    auto [reset, resetRecorder] = fetch(server.url("/reset"));
    EXPECT_EQ(resetRecorder->failed, 1);
    ASSERT_TRUE(reset->error());
    EXPECT_TRUE(reset->responseData().empty());
}

} // namespace
