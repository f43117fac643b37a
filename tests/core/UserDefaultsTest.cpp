#include "core/Log.h"
#include "core/Paths.h"
#include "core/UserDefaults.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace vq;

namespace {

class UserDefaultsTest : public testing::Test {
protected:
    void SetUp() override
    {
        Paths::setDataRoot(_root.path());
        defaults().resetForTests();
    }
    void TearDown() override
    {
        defaults().resetForTests();
        Paths::resetToDefaults();
    }
    static UserDefaults& defaults() { return UserDefaults::standard(); }
    static void writeRaw(const std::string& bytes)
    {
        std::filesystem::create_directories(Paths::dataDir());
        std::ofstream(UserDefaults::filePath(), std::ios::binary) << bytes;
    }

    test::TempDir _root;
};

TEST_F(UserDefaultsTest, ValuesSurviveARestart)
{
    defaults().setString("banner_key", "abc123");
    defaults().setInteger("count", -7);
    defaults().setDouble("ratio", 0.75);
    defaults().setBool("seen", true);
    defaults().setObject("list", PlistValue(PlistValue::Array{PlistValue("a"), PlistValue(2)}));
    defaults().setObject("map", PlistValue(PlistValue::Dictionary{{"k", PlistValue("v")}}));
    ASSERT_TRUE(defaults().synchronize());
    EXPECT_TRUE(std::filesystem::exists(Paths::dataDir() / "preferences.plist"));

    // A new process: nothing in memory, everything read back from the file.
    defaults().resetForTests();
    EXPECT_EQ(defaults().stringForKey("banner_key"), "abc123");
    EXPECT_EQ(defaults().integerForKey("count"), -7);
    EXPECT_DOUBLE_EQ(defaults().doubleForKey("ratio"), 0.75);
    EXPECT_TRUE(defaults().boolForKey("seen"));
    auto list = defaults().arrayForKey("list");
    ASSERT_TRUE(list);
    EXPECT_EQ(*list, (PlistValue::Array{PlistValue("a"), PlistValue(2)}));
    EXPECT_EQ(defaults().dictionaryForKey("map")->at("k"), PlistValue("v"));
}

TEST_F(UserDefaultsTest, AStringHoldingNulSurvivesARestartWhole)
{
    using namespace std::string_literals;
    defaults().setString("plain", "readable");
    ASSERT_TRUE(defaults().synchronize());
    EXPECT_EQ(readFile(UserDefaults::filePath())->substr(0, 5), "<?xml");

    defaults().setString("banner_key", "ab\0cd"s);
    ASSERT_TRUE(defaults().synchronize());
    defaults().resetForTests();
    EXPECT_EQ(defaults().stringForKey("banner_key"), "ab\0cd"s);
    EXPECT_EQ(defaults().stringForKey("plain"), "readable");

    // A key no file can hold is refused, and the file on disk is left as it was.
    defaults().setString("bad\0key"s, "x");
    LogCapture log;
    EXPECT_FALSE(defaults().synchronize());
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].rfind("user defaults not saved: ", 0), 0u) << log.lines()[0];
    defaults().resetForTests();
    EXPECT_EQ(defaults().stringForKey("banner_key"), "ab\0cd"s);
}

TEST_F(UserDefaultsTest, UnsynchronizedChangesAndRemovalsAreNotKept)
{
    defaults().setString("kept", "1");
    defaults().setString("dropped", "2");
    ASSERT_TRUE(defaults().synchronize());
    defaults().removeObjectForKey("dropped");
    defaults().setString("late", "3");
    EXPECT_FALSE(defaults().objectForKey("dropped"));

    defaults().resetForTests();
    EXPECT_EQ(defaults().stringForKey("kept"), "1");
    EXPECT_EQ(defaults().stringForKey("dropped"), "2"); // removal was never synchronised
    EXPECT_FALSE(defaults().objectForKey("late"));
}

TEST_F(UserDefaultsTest, AbsentAndMistypedKeysReadAsNothingOrZero)
{
    defaults().setString("text", "12");
    EXPECT_FALSE(defaults().objectForKey("nothing"));
    EXPECT_FALSE(defaults().stringForKey("nothing"));
    EXPECT_EQ(defaults().integerForKey("text"), 0);
    EXPECT_FALSE(defaults().boolForKey("nothing"));
    EXPECT_FALSE(defaults().arrayForKey("text"));
    // Empty is a value, not nothing.
    defaults().setString("blank", "");
    EXPECT_EQ(defaults().stringForKey("blank"), std::optional<std::string>(""));
}

TEST_F(UserDefaultsTest, CorruptOrWrongShapedFileIsMovedAsideAndTheStoreStartsEmpty)
{
    for (std::string bad : {std::string("this is not a property list"),
                            writePropertyList(PlistValue(PlistValue::Array{PlistValue(1)}))}) {
        SCOPED_TRACE(bad.substr(0, 20));
        writeRaw(bad);
        LogCapture log;
        defaults().resetForTests();
        EXPECT_FALSE(defaults().objectForKey("anything"));
        auto aside = Paths::dataDir() / "preferences.plist.corrupt";
        EXPECT_TRUE(std::filesystem::exists(aside));
        EXPECT_FALSE(std::filesystem::exists(UserDefaults::filePath()));
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_NE(log.lines()[0].find(aside.string()), std::string::npos);

        // The store works afterwards and writes a good file again.
        defaults().setString("fresh", "yes");
        ASSERT_TRUE(defaults().synchronize());
        defaults().resetForTests();
        EXPECT_EQ(defaults().stringForKey("fresh"), "yes");
        std::filesystem::remove(aside);
    }
}

TEST_F(UserDefaultsTest, EveryCorruptCopyIsKeptAndADeeplyNestedFileIsOneOfThem)
{
    std::string deep = "<plist version=\"1.0\">";
    for (int i = 0; i < 200000; ++i)
        deep += "<array>";
    for (std::string bad : {std::string("first bad file"), std::string("second bad file"), deep}) {
        writeRaw(bad);
        defaults().resetForTests();
        EXPECT_FALSE(defaults().objectForKey("anything"));
        EXPECT_FALSE(std::filesystem::exists(UserDefaults::filePath()));
    }
    auto dir = Paths::dataDir();
    EXPECT_EQ(readFile(dir / "preferences.plist.corrupt"), "first bad file");
    EXPECT_EQ(readFile(dir / "preferences.plist.corrupt.1"), "second bad file");
    EXPECT_EQ(readFile(dir / "preferences.plist.corrupt.2"), deep);
}

TEST_F(UserDefaultsTest, AFileThatCannotBeReadIsLeftInPlace)
{
    // A folder where the file belongs cannot be read by anyone, root included.
    std::filesystem::create_directories(UserDefaults::filePath());
    LogCapture log;
    defaults().resetForTests();
    EXPECT_FALSE(defaults().objectForKey("anything"));
    EXPECT_TRUE(std::filesystem::is_directory(UserDefaults::filePath()));
    EXPECT_FALSE(std::filesystem::exists(Paths::dataDir() / "preferences.plist.corrupt"));
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find("left in place"), std::string::npos) << log.lines()[0];
}

TEST_F(UserDefaultsTest, AFileWithoutReadPermissionIsNotReplacedByAnEmptyStore)
{
    // A file without read permission: the app starts empty and, on exit,
    // does not replace it with that empty store.
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads any file";
    writeRaw(writePropertyList(PlistValue(PlistValue::Dictionary{{"kept", PlistValue("yes")}})));
    ::chmod(UserDefaults::filePath().c_str(), 0);
    defaults().resetForTests();
    EXPECT_FALSE(defaults().stringForKey("kept"));
    defaults().setString("new", "value");
    EXPECT_FALSE(defaults().synchronize());
    ::chmod(UserDefaults::filePath().c_str(), 0600);
    defaults().resetForTests();
    EXPECT_EQ(defaults().stringForKey("kept"), "yes");
    EXPECT_FALSE(std::filesystem::exists(Paths::dataDir() / "preferences.plist.corrupt"));
}

TEST_F(UserDefaultsTest, SynchronizeReportsAFolderThatCannotBeCreated)
{
    // The data root is a plain file, so no folder can be made under it.
    std::ofstream(_root / "blocker") << "x";
    Paths::setDataRoot(_root / "blocker");
    defaults().resetForTests();
    defaults().setString("k", "v");
    LogCapture log;
    EXPECT_FALSE(defaults().synchronize());
    EXPECT_EQ(log.lines().size(), 1u);
}

} // namespace

namespace {

TEST_F(UserDefaultsTest, TemporariesOfAKilledWriteAreClearedOnceTheyAreOldYoungOnesMayBeAnotherWrite)
{
    writeRaw("<plist version=\"1.0\"><dict><key>k</key><string>v</string></dict></plist>");
    auto dir = Paths::dataDir();
    auto age = [&](const char* name) {
        std::filesystem::last_write_time(dir / name, std::filesystem::last_write_time(dir / name) - std::chrono::hours(1));
    };
    for (const char* name : {".preferences.plist.Ab12Cd", ".preferences.plist.young1", ".preferences.plist.toolongname",
                             ".other.plist.Ab12Cd"}) {
        std::ofstream(dir / name) << "<plist";
        if (std::string_view(name) != ".preferences.plist.young1")
            age(name);
    }
    EXPECT_EQ(defaults().stringForKey("k"), "v");
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{".other.plist.Ab12Cd", ".preferences.plist.toolongname",
                                              ".preferences.plist.young1", "preferences.plist"}));
}

} // namespace
