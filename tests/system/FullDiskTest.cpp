// A disk that fills up while the app writes its files.
#include "core/Log.h"
#include "core/Paths.h"
#include "core/UserDefaults.h"
#include "support/Harness.h"
#include "support/TempDir.h"
#include "system/MessageComposer.h"
#include "system/Pasteboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vq;

namespace {

std::vector<std::string> namesIn(const std::filesystem::path& dir)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Recorder : public MessageComposeDelegate {
public:
    void messageComposeViewController(MessageComposer&, MessageComposeResult result) override { results.push_back(result); }
    std::vector<MessageComposeResult> results;
};

class FullDiskTest : public testing::Test {
protected:
    void fillDisk(const std::string& pathPart) { setWriteFaultForTests(WriteFault::DiskFull, pathPart); }
    void freeDisk() { setWriteFaultForTests(WriteFault::None); }
    ~FullDiskTest() override { freeDisk(); }

    test::Harness harness;
};

TEST_F(FullDiskTest, UserDefaultsKeepTheOldFileAndTheirValuesAndSaveOnceThereIsRoom)
{
    auto& defaults = UserDefaults::standard();
    defaults.setString("k", "old");
    ASSERT_TRUE(defaults.synchronize());
    auto dir = UserDefaults::filePath().parent_path();
    auto before = namesIn(dir);

    fillDisk("preferences.plist");
    LogCapture log;
    defaults.setString("k", std::string(5000, 'n'));
    EXPECT_FALSE(defaults.synchronize());
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_TRUE(log.lines()[0].starts_with("user defaults not saved: cannot write " + UserDefaults::filePath().string()))
        << log.lines()[0];
    EXPECT_NE(log.lines()[0].find(std::strerror(ENOSPC)), std::string::npos) << log.lines()[0];
    EXPECT_EQ(namesIn(dir), before) << "no temporary file is left";
    EXPECT_EQ(defaults.stringForKey("k"), std::string(5000, 'n')) << "the app goes on with its values";
    defaults.resetForTests();
    EXPECT_EQ(defaults.stringForKey("k"), "old") << "the file on disk is the old one, whole";

    freeDisk();
    defaults.setString("k", "new");
    EXPECT_TRUE(defaults.synchronize());
    defaults.resetForTests();
    EXPECT_EQ(defaults.stringForKey("k"), "new");
}

TEST_F(FullDiskTest, ThePasteboardKeepsItsCopyInTheAppAndTheOldFileOnDisk)
{
    auto& board = Pasteboard::general();
    board.setData({1, 2, 3}, "public.jpeg");
    auto path = Pasteboard::latestImagePath();
    ASSERT_EQ(readFile(path), std::string("\1\2\3"));

    fillDisk("pasteboard");
    LogCapture log;
    std::vector<std::uint8_t> picture(10000, 7);
    board.setData(picture, "public.jpeg");
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_TRUE(log.lines()[0].starts_with("pasteboard image not written: cannot write " + path.string()))
        << log.lines()[0];
    EXPECT_EQ(readFile(path), std::string("\1\2\3"));
    EXPECT_EQ(namesIn(path.parent_path()), std::vector<std::string>{"latest.jpg"});
    EXPECT_EQ(board.dataForType("public.jpeg"), picture) << "pasting in the app still works";
}

TEST_F(FullDiskTest, TheOutboxFailsTheSendWithoutAPartPictureAndTheNextSendGoesThrough)
{
    auto recorder = std::make_shared<Recorder>();
    auto send = [&] {
        auto composer = MessageComposer::create();
        composer->setMessageComposeDelegate(recorder);
        composer->addAttachmentData(std::vector<std::uint8_t>(10000, 9), "public.jpeg", "card.jpg");
        composer->send();
        return composer;
    };
    fillDisk("outbox");
    LogCapture log;
    auto failed = send();
    EXPECT_EQ(recorder->results, std::vector{MessageComposeResult::Failed});
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_TRUE(log.lines()[0].starts_with("message not sent: cannot write " + failed->attachments()[0].path.string()))
        << log.lines()[0];
    EXPECT_TRUE(namesIn(MessageComposer::outboxDir()).empty());

    freeDisk();
    auto sent = send();
    EXPECT_EQ(recorder->results, (std::vector{MessageComposeResult::Failed, MessageComposeResult::Sent}));
    EXPECT_EQ(namesIn(MessageComposer::outboxDir()), std::vector{sent->attachments()[0].path.filename().string()});
}

// The same writes on a real file system that runs out of room, where the
// test may mount one (root in its own mount namespace); skipped elsewhere.
TEST(FullTmpfsTest, WritesThatRunOutOfRoomFailAndLeaveTheOldFileAlone)
{
    test::TempDir dir;
    auto mountPoint = dir / "small";
    std::filesystem::create_directory(mountPoint);
    pid_t pid = ::fork();
    if (pid == 0) {
        // Exit codes: 0 all held, 77 no tmpfs here, anything else the failed check.
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0)
            ::_exit(77);
        auto file = mountPoint / "preferences.plist";
        if (writeFileAtomically(file, "old"))
            ::_exit(1);
        // Fill what is left.
        std::string block(4096, 'f');
        int fd = ::open((mountPoint / "filler").c_str(), O_WRONLY | O_CREAT, 0600);
        while (::write(fd, block.data(), block.size()) > 0) {
        }
        ::close(fd);
        auto error = writeFileAtomically(file, std::string(32768, 'n'));
        if (!error || error->find(std::strerror(ENOSPC)) == std::string::npos)
            ::_exit(2);
        if (readFile(file) != "old")
            ::_exit(3);
        if (namesIn(mountPoint) != std::vector<std::string>{"filler", "preferences.plist"})
            ::_exit(4);
        bool existed = true;
        if (!writeNewFile(mountPoint / "1-public.jpeg-card.jpg", std::string(32768, 'n'), &existed) || existed)
            ::_exit(5);
        if (namesIn(mountPoint) != std::vector<std::string>{"filler", "preferences.plist"})
            ::_exit(6);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no tmpfs can be mounted here; the injected full disk above stands in";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the check that failed, in the order above";
}

} // namespace
