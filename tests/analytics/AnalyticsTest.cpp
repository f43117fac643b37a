#include "analytics/Analytics.h"

#include "core/EventHub.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "support/ReadJson.h"
#include "support/TempDir.h"
#include "system/TestReset.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

using namespace vq;
using JsonObject = vq::test::Json;

namespace {

class AnalyticsTest : public testing::Test {
protected:
    void SetUp() override
    {
        resetForTests();
        Paths::setDataRoot(_dir.path());
        Analytics::setTimeSource([this] { return _now; });
        _heard = EventHub::shared().subscribe<AnalyticsEventLogged>(
            [this](const AnalyticsEventLogged& event) { _observed.push_back(event.name); });
    }
    void TearDown() override
    {
        resetForTests();
    }

    static std::vector<std::string> fileLines()
    {
        auto file = Analytics::sessionFile();
        EXPECT_TRUE(file);
        std::vector<std::string> lines;
        if (!file)
            return lines;
        std::ifstream in(*file, std::ios::binary);
        std::string all((std::istreambuf_iterator<char>(in)), {});
        EXPECT_TRUE(all.empty() || all.back() == '\n') << "a line is unfinished";
        std::istringstream split(all);
        for (std::string line; std::getline(split, line);)
            lines.push_back(line);
        return lines;
    }

    static std::vector<JsonObject> parsed(const std::vector<std::string>& lines)
    {
        std::vector<JsonObject> objects;
        for (const auto& line : lines) {
            auto json = vq::test::parseJson(line);
            bool isObject = json && json->is_object();
            EXPECT_TRUE(isObject) << "not a JSON object: " << line;
            if (isObject)
                objects.push_back(std::move(*json));
        }
        return objects;
    }

    static std::string text(const JsonObject& o, const std::string& key)
    {
        auto it = o.find(key);
        return it != o.end() && it->is_string() ? it->get<std::string>() : "<missing " + key + ">";
    }
    static double number(const JsonObject& o, const std::string& key)
    {
        auto it = o.find(key);
        return it != o.end() && it->is_number() ? it->get<double>() : -1e9;
    }

    test::TempDir _dir;
    double _now = 100;
    std::vector<std::string> _observed;
    Subscription _heard;
    LogCapture _log;
};

TEST_F(AnalyticsTest, SessionFileGrowsLineByLineWithEventTimes)
{
    auto before = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    Analytics::startSession("QK4TZW7XNDR2LBVHC5JP");
    auto after = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());

    auto file = Analytics::sessionFile();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->parent_path(), Paths::dataDir() / "analytics");
    EXPECT_EQ(file->extension(), ".jsonl");
    ASSERT_EQ(fileLines().size(), 1u);

    _now = 101.5;
    Analytics::logEvent("first");
    EXPECT_EQ(fileLines().size(), 2u) << "each event is written when it happens";
    _now = 103.25;
    Analytics::logEvent("second");

    auto objects = parsed(fileLines());
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(text(objects[0], "type"), "session");
    EXPECT_EQ(text(objects[0], "key"), "QK4TZW7XNDR2LBVHC5JP");
    EXPECT_GE(number(objects[0], "start"), static_cast<double>(before));
    EXPECT_LE(number(objects[0], "start"), static_cast<double>(after));
    EXPECT_EQ(text(objects[1], "type"), "event");
    EXPECT_EQ(text(objects[1], "name"), "first");
    EXPECT_DOUBLE_EQ(number(objects[1], "t"), 1.5);
    EXPECT_EQ(text(objects[2], "name"), "second");
    EXPECT_DOUBLE_EQ(number(objects[2], "t"), 3.25);

    EXPECT_EQ(_observed, (std::vector<std::string>{"startSession:QK4TZW7XNDR2LBVHC5JP", "first", "second"}));
    EXPECT_TRUE(_log.lines().empty());
    EXPECT_TRUE(Analytics::heldLines().empty());
}

TEST_F(AnalyticsTest, EventsBeforeTheStartAreWrittenWhenItStarts)
{
    _now = 10;
    Analytics::logEvent("early");
    EXPECT_FALSE(Analytics::sessionFile());
    _now = 12;
    Analytics::startSession("QK4TZW7XNDR2LBVHC5JP");
    _now = 13;
    Analytics::logEvent("late");

    auto objects = parsed(fileLines());
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(text(objects[0], "type"), "session");
    EXPECT_EQ(text(objects[1], "name"), "early");
    EXPECT_DOUBLE_EQ(number(objects[1], "t"), -2);
    EXPECT_EQ(text(objects[2], "name"), "late");
    EXPECT_DOUBLE_EQ(number(objects[2], "t"), 1);
}

TEST_F(AnalyticsTest, OnlyTheFirstSessionCountsAndOddKeysAreLogged)
{
    Analytics::startSession("short-key");
    EXPECT_EQ(_log.lines().size(), 1u);
    auto file = Analytics::sessionFile();

    Analytics::startSession("QK4TZW7XNDR2LBVHC5JP");
    EXPECT_EQ(_log.lines().size(), 2u);
    EXPECT_EQ(Analytics::sessionFile(), file);

    auto objects = parsed(fileLines());
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(text(objects[0], "key"), "short-key");
    EXPECT_EQ(_observed, (std::vector<std::string>{"startSession:short-key", "startSession:QK4TZW7XNDR2LBVHC5JP"}));
}

TEST_F(AnalyticsTest, NamesSurviveEscaping)
{
    Analytics::startSession("QK4TZW7XNDR2LBVHC5JP");
    const std::vector<std::string> names{
        "say \"hi\"",
        "back\\slash /",
        "two\nlines\r\ttab",
        std::string("nul\0bell\x07", 9),
        "emoji \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD caf\xC3\xA9 e\xCC\x81",
        "",
    };
    for (const auto& name : names)
        Analytics::logEvent(name);
    // Malformed UTF-8 (a lone continuation byte, a truncated sequence) still yields a readable line.
    Analytics::logEvent("bad \x80 tail \xE2\x82");

    auto lines = fileLines();
    ASSERT_EQ(lines.size(), names.size() + 2);
    auto objects = parsed(lines);
    ASSERT_EQ(objects.size(), lines.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(text(objects[i + 1], "name"), names[i]) << lines[i + 1];
    EXPECT_EQ(text(objects.back(), "name"), "bad \xEF\xBF\xBD tail \xEF\xBF\xBD\xEF\xBF\xBD");
    // UTF-8 is kept as it is, not turned into escapes.
    EXPECT_NE(lines[5].find("\xF0\x9F\x91\x8D"), std::string::npos);
}

TEST_F(AnalyticsTest, ServerTextCannotFillTheFolder)
{
    // Twenty-five launches: the folder keeps the last twenty sessions.
    auto folder = Paths::dataDir() / "analytics";
    for (int i = 0; i < 24; ++i) {
        auto old = folder / fmt::format("session-2026010{}T0000{:02}Z-0000000{}.jsonl", i / 10, i, i % 10);
        std::filesystem::create_directories(old.parent_path());
        std::ofstream(old) << "{}\n";
    }
    auto utcDate = [] {
        std::chrono::year_month_day d{std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now())};
        return fmt::format("{:04}{:02}{:02}", int(d.year()), unsigned(d.month()), unsigned(d.day()));
    };
    std::string before = utcDate();
    Analytics::startSession("QK4TZW7XNDR2LBVHC5JP");
    std::string after = utcDate();
    Analytics::waitForPruning(); // the old ones go on a thread of their own
    ASSERT_TRUE(Analytics::sessionFile());
    EXPECT_TRUE(std::filesystem::exists(*Analytics::sessionFile()));
    // Named by its UTC start, so that names sort by age.
    auto name = Analytics::sessionFile()->filename().string();
    EXPECT_TRUE(std::regex_match(name, std::regex(R"(session-\d{8}T\d{6}Z-[0-9a-f]{8}\.jsonl)"))) << name;
    EXPECT_TRUE(name.substr(8, 8) == before || name.substr(8, 8) == after) << name;
    std::size_t sessions = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        sessions += entry.path().filename().string().starts_with("session-");
    EXPECT_EQ(sessions, 20u);
    EXPECT_FALSE(std::filesystem::exists(folder / "session-20260100T000000Z-00000000.jsonl"));

    // A failure status of 4 MiB on every activation: the name is its start, and the session stops growing.
    std::string message(4 << 20, 'm');
    for (int i = 0; i < 21; ++i)
        Analytics::logEvent(message);
    EXPECT_EQ(_observed.back(), std::string(256, 'm'));
    EXPECT_LE(std::filesystem::file_size(*Analytics::sessionFile()), std::uintmax_t{1} << 20);
    for (int i = 0; i < 5000; ++i)
        Analytics::logEvent(message);
    EXPECT_LE(std::filesystem::file_size(*Analytics::sessionFile()), std::uintmax_t{1} << 20);
    EXPECT_EQ(_log.count("analytics: the session has reached 1048576 bytes; later events are not recorded"), 1u);
}

TEST_F(AnalyticsTest, UnwritableFolderKeepsTheSessionInMemory)
{
    // A regular file where the data folder should be.
    std::ofstream(_dir / "blocked") << "x";
    Paths::setDataRoot(_dir / "blocked");

    Analytics::logEvent("early");
    Analytics::startSession("QK4TZW7XNDR2LBVHC5JP");
    Analytics::logEvent("one");
    Analytics::logEvent("two");

    EXPECT_FALSE(Analytics::sessionFile());
    EXPECT_EQ(_log.lines().size(), 1u) << "the failure is logged once";
    auto objects = parsed(Analytics::heldLines());
    ASSERT_EQ(objects.size(), 4u);
    EXPECT_EQ(text(objects[0], "type"), "session");
    EXPECT_EQ(text(objects[1], "name"), "early");
    EXPECT_EQ(text(objects[3], "name"), "two");
    EXPECT_EQ(_observed.size(), 4u);
}

} // namespace
