#include "main/CommandLine.h"

#include <gtest/gtest.h>

#include <vector>

namespace vq {

namespace {

std::variant<LaunchOptions, CommandLineExit> parse(std::vector<const char*> args)
{
    args.insert(args.begin(), "velvet-quill");
    return parseCommandLine(static_cast<int>(args.size()), args.data());
}

} // namespace

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
}

TEST(CommandLineTest, RejectsBadValuesWithStatusTwoAndAnswersHelp)
{
    for (auto args : {std::vector<const char*>{"--device", "watch"}, {"--system-version", "seven"},
                      {"--composer", "maybe"}, {"--zoom", "0"}, {"--frobnicate"}, {"card", "hello"}}) {
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
