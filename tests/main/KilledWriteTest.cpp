// The built program killed in the middle of writing its files, and started again.
#ifdef VQ_APP_BINARY

#include "support/LoopbackServer.h"
#include "support/TempDir.h"

#include "platform/PropertyList.h"
#include "platform/PropertyListValues.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

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

std::string slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

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
            if (req.get_param_value("action") == "info")
                list["base"] = PlistValue(PlistValue::Dictionary{{"banner_key", PlistValue(bannerKey)}});
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
    // process has stopped itself there, calls atStop, and kills it.
    Outcome run(const std::string& fault = "", const std::function<void()>& atStop = {})
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

        // The next start reads what is there without a word and saves a change as before.
        offerKey("third-key");
        auto again = run();
        EXPECT_EQ(again.exitStatus, 0) << again.err;
        EXPECT_EQ(again.err, "");
        EXPECT_EQ(slurp(dir / "events.jsonl").find("user defaults"), std::string::npos);
        EXPECT_EQ(storedKey(prefs()), "third-key");
        EXPECT_FALSE(std::filesystem::exists(prefs().string() + ".corrupt"));
    }
}

} // namespace

} // namespace vq::test

#endif
