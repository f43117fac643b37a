#include "main/CardCommand.h"
#include "main/CommandLine.h"
#include "system/Device.h"

#include <gtest/gtest.h>

#include <vector>

namespace vq {

namespace {

std::variant<LaunchOptions, CommandLineExit> parse(std::vector<const char*> args)
{
    args.insert(args.begin(), "velvet-quill");
    return parseCommandLine(static_cast<int>(args.size()), args.data());
}

std::variant<CardOptions, CommandLineExit> parseCard(std::vector<const char*> args)
{
    args.insert(args.begin(), {"velvet-quill", "card", "Hi", "-o", "out.jpg"});
    return parseCardCommand(static_cast<int>(args.size()), args.data());
}

} // namespace

TEST(CommandLineTest, NumbersAreDecimalAndVersionsAreComparedPartByPart)
{
    auto card = parseCard({"--bg-color", "010", "--text-color", "007"});
    ASSERT_TRUE(std::holds_alternative<CardOptions>(card)) << std::get<CommandLineExit>(card).message;
    EXPECT_EQ(std::get<CardOptions>(card).bgColor, 10);
    EXPECT_EQ(std::get<CardOptions>(card).textColor, 7);
    for (const char* bad : {"0x10", "0o7", "0b11", "+5", "-1", "1e1", " 5", "5 ", "9999999999"}) {
        auto refused = parseCard({"--bg-color", bad});
        ASSERT_TRUE(std::holds_alternative<CommandLineExit>(refused)) << bad;
        EXPECT_EQ(std::get<CommandLineExit>(refused).status, 2) << bad;
    }

    for (const char* good : {"7", "6.1", "10.0.2", "007.01"}) {
        EXPECT_TRUE(std::holds_alternative<LaunchOptions>(parse({"--system-version", good}))) << good;
        EXPECT_TRUE(std::holds_alternative<CardOptions>(parseCard({"--system-version", good}))) << good;
    }
    for (const char* bad : {"NaN", "inf", "-1", "1e9", "7.", ".7", "7..0", "1.2.3.4", "0x7", "", "7.0 "}) {
        EXPECT_TRUE(std::holds_alternative<CommandLineExit>(parse({"--system-version", bad}))) << bad;
        EXPECT_TRUE(std::holds_alternative<CommandLineExit>(parseCard({"--system-version", bad}))) << bad;
    }

    EXPECT_LT(compareSystemVersions("6.99999999999999999", "7.0"), 0);
    EXPECT_EQ(compareSystemVersions("7", "7.0.0"), 0);
    EXPECT_EQ(compareSystemVersions("07.00", "7"), 0);
    EXPECT_GT(compareSystemVersions("7.10", "7.9"), 0);
    EXPECT_GT(compareSystemVersions("10.0", "9.99"), 0);
    EXPECT_LT(compareSystemVersions("7.0.1", "7.1"), 0);
    EXPECT_GT(compareSystemVersions("123456789012345678901", "7"), 0);
}

TEST(CommandLineTest, ReadsEveryOption)
{
    auto parsed = parse({"--device", "tall", "--system-version", "6.1", "--server", "http://127.0.0.1:8080",
                         "--data-dir", "/tmp/vq", "--installed-schemes", "fb,twitter,", "--events", "ev.jsonl",
                         "--zoom", "2", "--composer", "refuse", "--headless", "--script", "tour.vqs"});
    ASSERT_TRUE(std::holds_alternative<LaunchOptions>(parsed)) << std::get<CommandLineExit>(parsed).message;
    auto& o = std::get<LaunchOptions>(parsed);
    EXPECT_EQ(o.device, DeviceProfile::Tall);
    EXPECT_EQ(o.systemVersion, "6.1");
    EXPECT_EQ(o.server, "http://127.0.0.1:8080");
    EXPECT_EQ(o.dataDir, std::filesystem::path("/tmp/vq"));
    EXPECT_EQ(o.installedSchemes, (std::set<std::string>{"fb", "twitter"}));
    EXPECT_EQ(o.eventsFile, std::filesystem::path("ev.jsonl"));
    EXPECT_EQ(o.zoom, 2);
    EXPECT_EQ(o.composer, ComposerBehaviour::Refuse);
    EXPECT_TRUE(o.headless);
    EXPECT_EQ(o.script, std::filesystem::path("tour.vqs"));
    EXPECT_FALSE(o.store);
    EXPECT_EQ(o.push, PushBehaviour::Ok);

    EXPECT_FALSE(o.adServer);
    EXPECT_FALSE(o.openUrls);

    auto more = parse({"--store", "https://Store.example:9/base", "--push", "FAIL", "--ad-server", "http://ads.test:81",
                       "--open-urls", "none"});
    ASSERT_TRUE(std::holds_alternative<LaunchOptions>(more)) << std::get<CommandLineExit>(more).message;
    EXPECT_EQ(std::get<LaunchOptions>(more).store, "https://Store.example:9/base");
    EXPECT_EQ(std::get<LaunchOptions>(more).push, PushBehaviour::Fail);
    EXPECT_EQ(std::get<LaunchOptions>(more).adServer, "http://ads.test:81");
    EXPECT_EQ(std::get<LaunchOptions>(more).openUrls, OpenUrls::None);
}

TEST(CommandLineTest, RejectsBadValuesWithStatusTwoAndAnswersHelp)
{
    for (auto args : {std::vector<const char*>{"--device", "watch"}, {"--system-version", "seven"},
                      {"--composer", "maybe"}, {"--zoom", "0"}, {"--frobnicate"}, {"card", "hello"},
                      {"--server", "127.0.0.1:8737"}, {"--server", "ftp://host/"}, {"--store", "http://"},
                      {"--store", "http://a b/"}, {"--push", "maybe"}, {"--ad-server", "ads.test"}, {"--open-urls", "firefox"}}) {
        auto parsed = parse(args);
        ASSERT_TRUE(std::holds_alternative<CommandLineExit>(parsed)) << args[0];
        EXPECT_EQ(std::get<CommandLineExit>(parsed).status, 2) << args[0];
        EXPECT_FALSE(std::get<CommandLineExit>(parsed).message.empty());
    }
    auto help = parse({"--help"});
    ASSERT_TRUE(std::holds_alternative<CommandLineExit>(help));
    EXPECT_EQ(std::get<CommandLineExit>(help).status, 0);
    EXPECT_NE(std::get<CommandLineExit>(help).message.find("--script"), std::string::npos);
}

} // namespace vq
