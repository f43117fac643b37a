#include "promotion/WebImageView.h"

#include "core/Paths.h"
#include "core/RunLoop.h"
#include "graphics/Image.h"
#include "graphics/PictureLoader.h"
#include "net/HttpRequest.h"
#include "net/RunQueue.h"
#include "support/Harness.h"
#include "support/LoopbackServer.h"
#include "ui/ActivityIndicator.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace vq::test {
namespace {

namespace fs = std::filesystem;

std::string pngBytes(int width, int height)
{
    auto data = Image::blank(width, height, 1)->pngData();
    return std::string(data.begin(), data.end());
}

std::vector<std::string> filesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    return names;
}

// Pictures under /pics/ and /other/, a 404 under /missing/, text under
// /text/, and /slow/ held until the test lets it go.
class WebImageViewTest : public testing::Test {
protected:
    WebImageViewTest()
    {
        HttpRequest::setDefaultExecutor([](std::function<void()> task) { RunLoop::main().post(std::move(task)); });
        auto picture = [this](const httplib::Request&, httplib::Response& res) {
            ++hits;
            res.set_content(pngBytes(8, 6), "image/png");
        };
        server.http().Get(R"(/pics/.*)", picture);
        server.http().Get(R"(/other/.*)", picture);
        server.http().Get(R"(/missing/.*)", [this](const httplib::Request&, httplib::Response& res) {
            ++hits;
            res.status = 404;
            res.set_content("<html>not here</html>", "text/html");
        });
        server.http().Get(R"(/text/.*)", [this](const httplib::Request&, httplib::Response& res) {
            ++hits;
            res.set_content("just words", "text/plain");
        });
        // Half a picture, then the connection drops.
        server.http().Get(R"(/cut/.*)", [this](const httplib::Request&, httplib::Response& res) {
            ++hits;
            auto body = std::make_shared<std::string>(pngBytes(64, 64));
            res.set_content_provider(body->size(), "image/png",
                                     [body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                         if (offset > 0)
                                             return false;
                                         sink.write(body->data(), body->size() / 2);
                                         return true;
                                     });
        });
        server.http().Get(R"(/slow/.*)", [this](const httplib::Request&, httplib::Response& res) {
            ++hits;
            std::unique_lock lock(mutex);
            released.wait_for(lock, std::chrono::seconds(20), [this] { return release; });
            res.set_content(pngBytes(8, 6), "image/png");
        });
    }
    ~WebImageViewTest() override
    {
        {
            std::lock_guard lock(mutex);
            release = true;
        }
        released.notify_all();
        RunLoop::main().runUntil(
            [] { return RunQueue::shared().runningCount() == 0 && RunQueue::shared().waitingCount() == 0; }, 30);
        RunLoop::main().runPending();
    }

    std::shared_ptr<WebImageView> viewFor(const std::string& link)
    {
        auto view = WebImageView::create({0, 0, 80, 60});
        view->setLink(link);
        return view;
    }
    void settle(double seconds = 0.3) { RunLoop::main().runUntil([] { return false; }, seconds); }
    // Pictures are decoded off the main thread: until every one has been handed back.
    static bool decodesEnd() { return RunLoop::main().runUntil([] { return PictureLoader::pendingCount() == 0; }, 20); }

    Harness harness;
    std::atomic<int> hits{0};
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    LoopbackServer server; // last: stops before what its handlers touch
};

TEST_F(WebImageViewTest, LinksThatNameNoFileInTheCachesFolderDownloadNothing)
{
    std::string tooLong = server.url("/pics/") + std::string(300, 'a') + ".png";
    std::string withNul = server.url("/pics/a") + std::string(1, '\0') + "b.png";
    for (const std::string& link : {std::string(), std::string("///"), server.url("/pics/."),
                                    server.url("/pics/.."), server.url("/pics/../"), withNul, tooLong}) {
        auto view = viewFor(link);
        EXPECT_FALSE(view->cachePathForCurrentLink()) << link;
        view->startDownloading();
        EXPECT_FALSE(view->request()) << link;
        EXPECT_FALSE(view->loadingView()->isAnimating()) << link;
    }
    settle();
    EXPECT_EQ(hits, 0);
    EXPECT_TRUE(filesIn(Paths::cacheDir()).empty());
    EXPECT_TRUE(filesIn(Paths::cacheDir().parent_path()).size() <= 2); // data/ and caches/ at most
}

TEST_F(WebImageViewTest, TheFileNameIsTheLinksLastComponentQueryIncluded)
{
    EXPECT_EQ(*viewFor("http://h/icons/icon.png?v=2")->cachePathForCurrentLink(),
              Paths::cacheDir() / "icon.png?v=2");
    EXPECT_EQ(*viewFor("http://h/icons/big/")->cachePathForCurrentLink(), Paths::cacheDir() / "big");
}

TEST_F(WebImageViewTest, ASecondViewOfTheSameFileNameShowsTheCachedPictureWithoutARequest)
{
    auto first = viewFor(server.url("/pics/icon.png"));
    first->startDownloading();
    ASSERT_TRUE(first->request());
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return first->loadingView()->isAnimating(); }, 20));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return first->image() != nullptr; }, 20));
    EXPECT_FALSE(first->loadingView()->isAnimating());
    EXPECT_EQ(first->image()->pixelWidth(), 8);
    EXPECT_EQ(first->imageFileName(), "icon.png");
    EXPECT_EQ(filesIn(Paths::cacheDir()), std::vector<std::string>{"icon.png"});

    // Another folder, the same file name: from the cache at once.
    auto second = viewFor(server.url("/other/icon.png"));
    second->startDownloading();
    EXPECT_FALSE(second->request());
    ASSERT_TRUE(second->image());
    EXPECT_EQ(second->image()->pixelHeight(), 6);
    EXPECT_FALSE(second->loadingView()->isAnimating());
    settle();
    EXPECT_EQ(hits, 1);
}

TEST_F(WebImageViewTest, ANon200ReplyLeavesTheViewEmptyAndTheCacheCleanSoTheNextViewTriesAgain)
{
    for (int attempt = 1; attempt <= 2; ++attempt) {
        auto view = viewFor(server.url("/missing/icon.png"));
        view->startDownloading();
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return view->request()->isFinished(); }, 20));
        RunLoop::main().runPending();
        EXPECT_EQ(view->request()->responseStatusCode(), 404);
        EXPECT_FALSE(view->image());
        EXPECT_FALSE(view->imageFileName());
        EXPECT_FALSE(view->loadingView()->isAnimating());
        EXPECT_TRUE(filesIn(Paths::cacheDir()).empty()) << "attempt " << attempt;
        EXPECT_EQ(hits, attempt);
    }
}

TEST_F(WebImageViewTest, BytesThatAreNotAPictureShowNothingAndDoNotStayCached)
{
    // Downloaded with 200 ...
    auto view = viewFor(server.url("/text/words.png"));
    view->startDownloading();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return view->request()->isFinished(); }, 20));
    ASSERT_TRUE(decodesEnd());
    EXPECT_FALSE(view->image());
    EXPECT_FALSE(fs::exists(Paths::cacheDir() / "words.png"));

    // ... or found in the cache.
    ASSERT_FALSE(Paths::ensureDirectory(Paths::cacheDir()));
    ASSERT_FALSE(writeFileAtomically(Paths::cacheDir() / "junk.png", "GIF89a not really"));
    auto cached = viewFor("http://127.0.0.1:1/x/junk.png");
    cached->setImage(Image::blank(2, 2, 1));
    cached->startDownloading();
    ASSERT_TRUE(decodesEnd());
    EXPECT_FALSE(cached->request());
    EXPECT_FALSE(cached->image());
    EXPECT_FALSE(fs::exists(Paths::cacheDir() / "junk.png"));
}

TEST_F(WebImageViewTest, PicturesTooLargeToHoldAreNotDecoded)
{
    ASSERT_FALSE(Paths::ensureDirectory(Paths::cacheDir()));
    auto tryPicture = [&](const std::string& name, int w, int h) {
        EXPECT_FALSE(writeFileAtomically(Paths::cacheDir() / name, pngBytes(w, h)));
        auto view = viewFor("http://127.0.0.1:1/" + name);
        view->startDownloading();
        EXPECT_TRUE(decodesEnd());
        return view->image() != nullptr;
    };
    EXPECT_TRUE(tryPicture("edge.png", WebImageView::kMaxPictureSide, 16));
    EXPECT_FALSE(tryPicture("wide.png", WebImageView::kMaxPictureSide + 1, 1));
    EXPECT_FALSE(tryPicture("area.png", 2900, 2900)); // under the side limit, over the pixel count
}

TEST_F(WebImageViewTest, ViewsOfOneFileShareOneSmallCopyAndTheFolderKeepsToItsCap)
{
    ASSERT_FALSE(Paths::ensureDirectory(Paths::cacheDir()));
    ASSERT_FALSE(writeFileAtomically(Paths::cacheDir() / "big.png", pngBytes(1200, 800)));
    std::vector<std::shared_ptr<WebImageView>> views;
    for (int i = 0; i < 60; ++i) {
        views.push_back(viewFor("http://127.0.0.1:1/icons/big.png"));
        views.back()->startDownloading();
    }
    ASSERT_TRUE(decodesEnd());
    for (const auto& view : views)
        ASSERT_EQ(view->image(), views.front()->image());
    // 80 x 60 points at scale 2: no more pixels than cover 160 x 120.
    ASSERT_TRUE(views.front()->image());
    EXPECT_LE(views.front()->image()->pixelHeight(), 120 + 120 / 8);
    EXPECT_EQ(views.front()->image()->size(), (Size{1200, 800}));

    // Three old pictures of 25 MB: the next one stored sends the oldest away.
    auto now = fs::file_time_type::clock::now();
    for (int i = 0; i < 3; ++i) {
        auto path = Paths::cacheDir() / fmt::format("old{}.png", i);
        std::ofstream(path).close();
        fs::resize_file(path, std::uintmax_t{25} << 20);
        fs::last_write_time(path, now - std::chrono::hours(3 - i));
    }
    auto fresh = viewFor(server.url("/pics/fresh.png"));
    fresh->startDownloading();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return fresh->image() != nullptr; }, 20));
    auto files = filesIn(Paths::cacheDir());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"big.png", "fresh.png", "old1.png", "old2.png"}));
}

TEST_F(WebImageViewTest, AViewDestroyedDuringItsDownloadIsToldNothingAndLeavesNoFile)
{
    std::shared_ptr<HttpRequest> request;
    {
        auto view = viewFor(server.url("/slow/late.png"));
        view->startDownloading();
        request = view->request();
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return hits == 1; }, 20));
    }
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    released.notify_all();
    settle(0.5);
    EXPECT_TRUE(request->isFinished());
    EXPECT_EQ(request->error(), "The request was cancelled");
    EXPECT_EQ(request->delegate(), nullptr);
    EXPECT_TRUE(filesIn(Paths::cacheDir()).empty());
}

TEST_F(WebImageViewTest, ANewLinkStopsTheEarlierDownloadEvenWhenItsPictureIsCached)
{
    auto cached = viewFor(server.url("/pics/now.png"));
    cached->startDownloading();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return cached->image() != nullptr; }, 20));

    auto view = viewFor(server.url("/slow/late.png"));
    view->startDownloading();
    auto earlier = view->request();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return hits == 2 && view->loadingView()->isAnimating(); }, 20));
    view->setLink(server.url("/pics/now.png"));
    view->startDownloading();
    EXPECT_EQ(view->imageFileName(), "now.png");
    EXPECT_FALSE(view->loadingView()->isAnimating());

    {
        std::lock_guard lock(mutex);
        release = true;
    }
    released.notify_all();
    settle(0.5);
    EXPECT_EQ(earlier->error(), "The request was cancelled");
    EXPECT_EQ(view->imageFileName(), "now.png");
    EXPECT_EQ(filesIn(Paths::cacheDir()), std::vector<std::string>{"now.png"});
}

TEST_F(WebImageViewTest, AConnectionCutMidPictureLeavesNoFileBehind)
{
    auto view = viewFor(server.url("/cut/half.png"));
    view->startDownloading();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return view->request()->isFinished(); }, 20));
    RunLoop::main().runPending();
    EXPECT_TRUE(view->request()->error());
    EXPECT_FALSE(view->image());
    EXPECT_FALSE(view->loadingView()->isAnimating());
    EXPECT_TRUE(filesIn(Paths::cacheDir()).empty());
}

TEST_F(WebImageViewTest, TheSpinnerCoversTheViewAndAFailedDownloadStopsIt)
{
    auto view = viewFor("http://127.0.0.1:" + std::to_string(unusedPort()) + "/pics/gone.png");
    view->setFrame({10, 20, 100, 50});
    EXPECT_EQ(view->loadingView()->frame(), (Rect{0, 0, 100, 50}));
    view->startDownloading();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return view->request()->isFinished(); }, 20));
    RunLoop::main().runPending();
    EXPECT_TRUE(view->request()->error());
    EXPECT_FALSE(view->loadingView()->isAnimating());
    EXPECT_FALSE(view->image());
    EXPECT_TRUE(filesIn(Paths::cacheDir()).empty());
}

} // namespace
} // namespace vq::test
