// The picture cache when the disk is full, and what killed downloads leave.
#include "promotion/WebImageView.h"

#include "core/Log.h"
#include "core/Paths.h"
#include "core/RunLoop.h"
#include "graphics/Image.h"
#include "graphics/PictureLoader.h"
#include "net/HttpRequest.h"
#include "net/RunQueue.h"
#include "net/TempFile.h"
#include "support/Harness.h"
#include "support/LoopbackServer.h"
#include "ui/ActivityIndicator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace vq::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> filesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class CacheFaultTest : public testing::Test {
protected:
    CacheFaultTest()
    {
        HttpRequest::setDefaultExecutor([](std::function<void()> task) { RunLoop::main().post(std::move(task)); });
        auto data = Image::blank(120, 80, 1)->pngData();
        picture.assign(data.begin(), data.end());
        server.http().Get(R"(/pics/.*)", [this](const httplib::Request&, httplib::Response& res) {
            ++hits;
            res.set_content(picture, "image/png");
        });
    }
    ~CacheFaultTest() override
    {
        TempFile::setDiskFullForTests(false);
        RunLoop::main().runUntil(
            [] { return RunQueue::shared().runningCount() == 0 && RunQueue::shared().waitingCount() == 0; }, 30);
        RunLoop::main().runPending();
    }

    // Starts the view's download and runs until it has ended either way.
    std::shared_ptr<WebImageView> load(const std::string& path)
    {
        auto view = WebImageView::create({0, 0, 80, 60});
        view->setLink(server.url(path));
        view->startDownloading();
        if (view->request()) {
            EXPECT_TRUE(RunLoop::main().runUntil([&] { return view->request()->isFinished(); }, 20));
        }
        // Then its decoding, off the main thread.
        EXPECT_TRUE(RunLoop::main().runUntil([] { return PictureLoader::pendingCount() == 0; }, 20));
        return view;
    }

    Harness harness;
    std::string picture;
    std::atomic<int> hits{0};
    LoopbackServer server; // last: stops before what its handlers touch
};

TEST_F(CacheFaultTest, AFullDiskCachesNothingSaysSoOnceAndTheNextViewDownloadsAgain)
{
    TempFile::setDiskFullForTests(true);
    LogCapture log;
    auto full = load("/pics/pro.png");
    EXPECT_FALSE(full->image());
    EXPECT_FALSE(full->loadingView()->isAnimating());
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_TRUE(log.lines()[0].starts_with("picture not downloaded from " + server.url("/pics/pro.png") + ": "))
        << log.lines()[0];
    EXPECT_NE(log.lines()[0].find("Failed to write"), std::string::npos) << log.lines()[0];
    EXPECT_TRUE(filesIn(Paths::cacheDir()).empty()) << "neither a part picture nor a temporary file";

    TempFile::setDiskFullForTests(false);
    auto room = load("/pics/pro.png");
    ASSERT_TRUE(room->image());
    EXPECT_EQ(room->image()->pixelWidth(), 120);
    EXPECT_EQ(filesIn(Paths::cacheDir()), std::vector<std::string>{"pro.png"});
    EXPECT_EQ(hits, 2);
}

TEST_F(CacheFaultTest, DownloadsLeftLongAgoAreClearedButAFreshOneMayStillBeSomeonesAndStays)
{
    ASSERT_FALSE(Paths::ensureDirectory(Paths::cacheDir()));
    for (const char* name : {".download-AbC123", ".download-4242-1", ".download-fresh1"})
        std::ofstream(Paths::cacheDir() / name) << "part of a picture";
    for (const char* name : {".download-AbC123", ".download-4242-1"})
        fs::last_write_time(Paths::cacheDir() / name, fs::last_write_time(Paths::cacheDir() / name) - std::chrono::hours(1));
    // Not ours: a file of the user's by a similar name and the cached pictures.
    std::ofstream(Paths::cacheDir() / "download-old.png") << "x";
    fs::last_write_time(Paths::cacheDir() / "download-old.png",
                        fs::last_write_time(Paths::cacheDir() / "download-old.png") - std::chrono::hours(1));

    ASSERT_TRUE(load("/pics/pro.png")->image());
    EXPECT_EQ(filesIn(Paths::cacheDir()), (std::vector<std::string>{".download-fresh1", "download-old.png", "pro.png"}));
}

} // namespace
} // namespace vq::test
