#include "core/Paths.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace vq;

namespace {

std::string contents(const std::filesystem::path& path) { return readFile(path).value_or("<unreadable>"); }

mode_t modeOf(const std::filesystem::path& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

// Sets the umask for one test and puts the old one back.
struct UmaskScope {
    explicit UmaskScope(mode_t mask) : old(::umask(mask)) {}
    ~UmaskScope() { ::umask(old); }
    mode_t old;
};

TEST(FileWriteTest, ReplacesARegularFileButKeepsItsModeAndGivesNewFilesTheUmask)
{
    test::TempDir dir;
    UmaskScope mask(027);
    auto fresh = dir / "fresh.jpg";
    ASSERT_EQ(writeFileAtomically(fresh, "new"), std::nullopt);
    EXPECT_EQ(contents(fresh), "new");
    EXPECT_EQ(modeOf(fresh), 0640u);

    // A file the user made read-only stays read-only.
    auto locked = dir / "locked.jpg";
    std::ofstream(locked) << "old";
    ::chmod(locked.c_str(), 0444);
    ASSERT_EQ(writeFileAtomically(locked, "newer"), std::nullopt);
    EXPECT_EQ(contents(locked), "newer");
    EXPECT_EQ(modeOf(locked), 0444u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2) << "no temporary file is left";
}

TEST(FileWriteTest, FollowsASymbolicLinkAndKeepsIt)
{
    test::TempDir dir;
    std::filesystem::create_directory(dir / "real");
    std::ofstream(dir / "real/target.json") << "old";
    std::filesystem::create_symlink("real/target.json", dir / "link.json");
    ASSERT_EQ(writeFileAtomically(dir / "link.json", "new"), std::nullopt);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.json"));
    EXPECT_EQ(contents(dir / "real/target.json"), "new");

    // A link whose target is not there yet creates the target.
    std::filesystem::create_symlink("real/later.json", dir / "dangling.json");
    ASSERT_EQ(writeFileAtomically(dir / "dangling.json", "made"), std::nullopt);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "dangling.json"));
    EXPECT_EQ(contents(dir / "real/later.json"), "made");
}

TEST(FileWriteTest, WritesStraightIntoAPipeOrDeviceAndRefusesOtherNodes)
{
    test::TempDir dir;
    auto fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto reader = std::async(std::launch::async, [&] { return readFile(fifo); });
    ASSERT_EQ(writeFileAtomically(fifo, "through the pipe"), std::nullopt);
    EXPECT_EQ(reader.get(), "through the pipe");
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the pipe is still a pipe";

    // Devices through links of our own, so a fault replaces a link in the
    // test's folder rather than the machine's /dev/null.
    std::filesystem::create_symlink("/dev/null", dir / "null");
    std::filesystem::create_symlink("/dev/full", dir / "full");
    EXPECT_EQ(writeFileAtomically(dir / "null", "gone"), std::nullopt);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "null"));

    // A full device reports the failure instead of claiming success.
    auto full = writeFileAtomically(dir / "full", "no room");
    ASSERT_TRUE(full);
    EXPECT_NE(full->find("full"), std::string::npos) << *full;
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "full"));

    std::filesystem::create_directory(dir / "folder");
    auto folder = writeFileAtomically(dir / "folder", "x");
    ASSERT_TRUE(folder);
    EXPECT_NE(folder->find("folder"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder"));
}

TEST(FileWriteTest, PathsTheFileSystemRefusesAreErrorsNotExceptions)
{
    test::TempDir dir;
    std::filesystem::create_symlink("la", dir / "lb");
    std::filesystem::create_symlink("lb", dir / "la");
    std::string longName(300, 'n');
    std::ofstream(dir / "afile") << "x";
    for (auto path : {dir / "la", dir / "la/x.jpg", dir / longName / "x.jpg", dir / (longName + ".jpg"),
                      dir / "afile/x.jpg"}) {
        SCOPED_TRACE(path.string().substr(0, 80));
        std::optional<std::string> error;
        EXPECT_NO_THROW(error = writeFileAtomically(path, "x"));
        EXPECT_TRUE(error);
        EXPECT_NO_THROW(error = Paths::ensureDirectory(path));
        EXPECT_TRUE(error);
    }
    auto missing = writeFileAtomically(dir / "missing/x.jpg", "x");
    ASSERT_TRUE(missing);
    EXPECT_NE(missing->find("missing/x.jpg"), std::string::npos) << *missing;
}

TEST(FileWriteTest, OnlyFilesInsideAScratchRootSkipTheFlush)
{
    test::TempDir dir;
    auto root = dir.path() / "run";
    Paths::setDataRoot(root, true);
    EXPECT_TRUE(Paths::isScratch(Paths::dataDir() / "advertising-identifier"));
    EXPECT_FALSE(Paths::isScratch(root));
    EXPECT_FALSE(Paths::isScratch(dir.path() / "run2" / "card.jpg")); // a name that only begins the same
    EXPECT_FALSE(Paths::isScratch(dir.path() / "card.jpg"));
    std::filesystem::create_directories(root);
    ASSERT_FALSE(writeFileAtomically(root / "f", "bytes"));
    EXPECT_EQ(contents(root / "f"), "bytes");
    Paths::setDataRoot(root);
    EXPECT_FALSE(Paths::isScratch(Paths::dataDir() / "advertising-identifier"));
    Paths::resetToDefaults();
    EXPECT_FALSE(Paths::isScratch(root / "data"));
}

// An output is not flushed to take a free name; one that takes that name meanwhile
// is still replaced whole, by the write that stopped just before its rename.
TEST(FileWriteTest, AnOutputWrittenToAFreeNameReplacesAFileThatAppearedMeanwhile)
{
    test::TempDir dir;
    auto path = dir / "out.jpg";
    ASSERT_EQ(writeFileAtomically(path, "first", Durability::OverOldOnly), std::nullopt);
    EXPECT_EQ(contents(path), "first");
    std::filesystem::remove(path);

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setWriteFaultForTests(WriteFault::StopBeforeRename, "out.jpg");
        std::_Exit(writeFileAtomically(path, "second", Durability::OverOldOnly) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, WUNTRACED), child);
    ASSERT_TRUE(WIFSTOPPED(status));
    std::ofstream(path) << "someone else's";
    ::kill(child, SIGCONT);
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(contents(path), "second");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "no temporary file is left";
}

TEST(FileWriteTest, NewFilesNeverReplaceOneAlreadyThere)
{
    test::TempDir dir;
    auto path = dir / "1-2-card.jpg";
    bool existed = true;
    ASSERT_EQ(writeNewFile(path, "first", &existed), std::nullopt);
    EXPECT_FALSE(existed);
    auto error = writeNewFile(path, "second", &existed);
    EXPECT_TRUE(error);
    EXPECT_TRUE(existed);
    EXPECT_EQ(contents(path), "first");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(FileWriteTest, ReadingAFolderOrAnUnreadableFileFails)
{
    test::TempDir dir;
    std::string error;
    int err = 0;
    EXPECT_EQ(readFile(dir.path(), &error, &err), std::nullopt);
    EXPECT_EQ(err, EISDIR);
    EXPECT_NE(error.find(dir.path().string()), std::string::npos);
    EXPECT_EQ(readFile("/proc/self/mem", &error, &err), std::nullopt);
    EXPECT_EQ(readFile(dir / "absent", &error, &err), std::nullopt);
    EXPECT_EQ(err, ENOENT);
}

} // namespace
