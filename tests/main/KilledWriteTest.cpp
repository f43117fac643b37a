// The built program killed in the middle of writing its files, and started again.
#ifdef VQ_APP_BINARY

#include "support/LoopbackServer.h"
#include "support/TempDir.h"

#include "core/PropertyList.h"
#include "core/PropertyListValues.h"
#include "graphics/Image.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace vq::test {

namespace {

// The banner key a preferences file holds; "<broken>" when it does not parse.
std::string storedKey(const std::filesystem::path& file)
{
    auto list = parsePropertyList(slurp(file));
    if (!list || !list->isDictionary())
        return "<broken>";
    return stringValueOf(findKeyPath(*list, "banner_key")).value_or("<none>");
}

// Temporary files a write leaves beside the preferences.
std::vector<std::filesystem::path> temporaries(const std::filesystem::path& dir)
{
    std::vector<std::filesystem::path> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
        if (entry.path().filename().string().starts_with(".preferences.plist."))
            found.push_back(entry.path());
    return found;
}

// A promotion server whose list names a banner key, which the app keeps in
// its user defaults; every report is answered with success.
class KilledWriteTest : public testing::Test {
protected:
    KilledWriteTest()
    {
        server.http().Get("/index.php", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(mutex);
            PlistValue::Dictionary list{{"status", PlistValue(PlistValue::Dictionary{{"code", 0}})}};
            if (req.get_param_value("action") == "info") {
                auto base = extraBase;
                base["banner_key"] = PlistValue(bannerKey);
                list["base"] = PlistValue(std::move(base));
                for (const auto& [key, value] : extraList)
                    list[key] = value;
            }
            res.set_content(writePropertyList(PlistValue(list)), "application/x-plist");
        });
        std::ofstream(dir / "fetch.vqs") << "settle\n";
    }

    void offerKey(std::string key)
    {
        std::lock_guard lock(mutex);
        bannerKey = std::move(key);
    }

    struct Outcome {
        bool stopped = false; // the fault was reached and the process killed there
        int exitStatus = -1;  // when it ran to its end instead
        std::string err;
    };

    // Runs the app on the test's data folder; with a fault, waits until the
    // process has stopped itself there, calls atStop, and kills it. With
    // killWhen, kills it as soon as that holds.
    Outcome run(const std::string& fault = "", const std::function<void()>& atStop = {},
                const std::function<bool()>& killWhen = {})
    {
        auto errPath = dir / "stderr.txt";
        std::string serverArg = server.url();
        std::string dataArg = (dir / "data").string();
        std::string eventsArg = (dir / "events.jsonl").string();
        std::string scriptArg = (dir / "fetch.vqs").string();
        // Made before the fork: the server's thread may hold the allocator's lock.
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            if (!std::string_view(*e).starts_with("ASAN_OPTIONS=") && !std::string_view(*e).starts_with("VQ_WRITE_FAULT="))
                env.emplace_back(*e);
        // The font caches outlive a sanitizer build's leak check.
        env.emplace_back("ASAN_OPTIONS=detect_leaks=0");
        if (!fault.empty())
            env.push_back("VQ_WRITE_FAULT=" + fault);
        std::vector<char*> envp;
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::vector<std::string> args = {VQ_APP_BINARY, "--headless", "--server", serverArg, "--data-dir", dataArg,
                                         "--events", eventsArg, "--script", scriptArg};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int errFd = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(errFd, 2);
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        ::close(errFd);
        Outcome outcome;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        int status = 0;
        for (;;) {
            pid_t got = ::waitpid(pid, &status, WNOHANG | WUNTRACED);
            if (got == pid)
                break;
            if (killWhen && killWhen()) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                outcome.stopped = true;
                outcome.err = slurp(errPath);
                return outcome;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                ADD_FAILURE() << "the app neither stopped nor ended";
                return outcome;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (WIFSTOPPED(status)) {
            outcome.stopped = true;
            if (atStop)
                atStop();
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        } else if (WIFEXITED(status)) {
            outcome.exitStatus = WEXITSTATUS(status);
        }
        outcome.err = slurp(errPath);
        return outcome;
    }

    std::filesystem::path prefs() const { return dir / "data/data/preferences.plist"; }

    TempDir dir;
    std::mutex mutex;
    std::string bannerKey;
    PlistValue::Dictionary extraBase; // in "base" besides the banner key
    PlistValue::Dictionary extraList; // sections besides "base" and "status"
    LoopbackServer server;
};

TEST_F(KilledWriteTest, AKillAnywhereInAPreferencesWriteLeavesTheOldFileOrTheNewOne)
{
    struct Case {
        std::string fault;
        bool newInPlace; // what the file holds once the process is gone
    };
    for (const Case& c : {Case{"stop-halfway", false}, Case{"stop-before-rename", false},
                          Case{"stop-after-rename", true}}) {
        SCOPED_TRACE(c.fault);
        std::filesystem::remove_all(dir / "data");
        offerKey("old-key");
        auto first = run();
        ASSERT_EQ(first.exitStatus, 0) << first.err;
        ASSERT_EQ(storedKey(prefs()), "old-key");
        std::string oldBytes = slurp(prefs());

        // A longer key, so a file cut short would show.
        offerKey("new-key-" + std::string(4000, 'n'));
        auto killed = run(c.fault + ":preferences.plist", [&] {
            auto partial = temporaries(prefs().parent_path());
            if (c.fault == "stop-halfway") {
                ASSERT_EQ(partial.size(), 1u) << "the write has begun";
                EXPECT_LT(std::filesystem::file_size(partial[0]), 4000u) << "and stopped halfway";
            }
            EXPECT_EQ(slurp(prefs()) == oldBytes, !c.newInPlace);
        });
        ASSERT_TRUE(killed.stopped) << killed.err;
        EXPECT_EQ(storedKey(prefs()), c.newInPlace ? bannerKey : "old-key");

        // The next start, a while later, reads what is there without a word,
        // clears what the killed write left and saves a change as before.
        for (const auto& file : temporaries(prefs().parent_path()))
            std::filesystem::last_write_time(file, std::filesystem::last_write_time(file) - std::chrono::hours(1));
        offerKey("third-key");
        auto again = run();
        EXPECT_TRUE(temporaries(prefs().parent_path()).empty());
        EXPECT_EQ(again.exitStatus, 0) << again.err;
        EXPECT_EQ(again.err, "");
        EXPECT_EQ(slurp(dir / "events.jsonl").find("user defaults"), std::string::npos);
        EXPECT_EQ(storedKey(prefs()), "third-key");
        EXPECT_FALSE(std::filesystem::exists(prefs().string() + ".corrupt"));
    }
}

// The big ad's picture, served whole or, while `cut` holds, only its first
// half before the server waits.
class KilledDownloadTest : public KilledWriteTest {
protected:
    KilledDownloadTest()
    {
        auto data = Image::blank(300, 200, 1)->pngData();
        picture.assign(data.begin(), data.end());
        server.http().Get("/pics/pro.png", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(picture.size(), "image/png",
                                     [this](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                         std::size_t half = picture.size() / 2;
                                         if (offset == 0)
                                             return sink.write(picture.data(), cut ? half : picture.size());
                                         for (int i = 0; i < 600 && cut; ++i)
                                             std::this_thread::sleep_for(std::chrono::milliseconds(50));
                                         return !cut && sink.write(picture.data() + offset, picture.size() - offset);
                                     });
        });
        std::lock_guard lock(mutex);
        extraBase = {{"ad_type", PlistValue("bigads")}, {"base_url", PlistValue(server.url())}};
        extraList["bigads"] = PlistValue(PlistValue::Dictionary{{"iphone_4_ad_link", PlistValue("/pics/pro.png")}});
    }
    ~KilledDownloadTest() override { cut = false; }

    std::filesystem::path caches() const { return dir / "data/caches"; }
    std::vector<std::filesystem::path> downloads() const
    {
        std::vector<std::filesystem::path> found;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(caches(), ec))
            if (entry.path().filename().string().starts_with(".download-"))
                found.push_back(entry.path());
        return found;
    }

    std::string picture;
    std::atomic<bool> cut{false};
};

TEST_F(KilledDownloadTest, AKillMidDownloadCachesNothingBrokenAndALaterStartFetchesItWhole)
{
    cut = true;
    // Killed once the app has written part of the picture: its own file says so.
    auto killed = run("", {}, [&] {
        auto partial = downloads();
        return !partial.empty() && std::filesystem::file_size(partial[0]) > 0;
    });
    ASSERT_TRUE(killed.stopped) << killed.err;
    cut = false;
    EXPECT_FALSE(std::filesystem::exists(caches() / "pro.png")) << "no part picture under the cached name";
    auto left = downloads();
    ASSERT_FALSE(left.empty()) << "the kill came mid-download";
    EXPECT_LT(std::filesystem::file_size(left[0]), picture.size());

    // What was abandoned a while ago is cleared; the picture comes whole.
    for (const auto& file : left)
        std::filesystem::last_write_time(file, std::filesystem::last_write_time(file) - std::chrono::hours(1));
    auto again = run();
    EXPECT_EQ(again.exitStatus, 0) << again.err;
    EXPECT_EQ(slurp(caches() / "pro.png"), picture);
    EXPECT_TRUE(downloads().empty());
}

} // namespace

} // namespace vq::test

#endif
