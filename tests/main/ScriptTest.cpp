#include "main/Script.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

using namespace vq;

namespace {

std::vector<ScriptCommand> parseOk(std::string_view text)
{
    auto result = parseScript(text);
    if (auto* err = std::get_if<ScriptError>(&result)) {
        ADD_FAILURE() << "line " << err->line << ": " << err->message;
        return {};
    }
    return std::get<std::vector<ScriptCommand>>(result);
}

ScriptError parseFails(std::string_view text)
{
    auto result = parseScript(text);
    if (!std::holds_alternative<ScriptError>(result)) {
        ADD_FAILURE() << "expected an error for: " << text;
        return {};
    }
    return std::get<ScriptError>(result);
}

TEST(Script, ParsesEveryCommandWithLineNumbersAndComments)
{
    auto cmds = parseOk("# a tour\n"
                        "tap 10 20.5\n"
                        "tap message   # focus\n"
                        "type \"Hi \\\"you\\\"\\n\"\n"
                        "\n"
                        "paste \"a # not a comment\"\n"
                        "key backspace\n"
                        "drag 1 2 3 4\n"
                        "tap tag 7\n"
                        "tap tag 12 in 1024\n"
                        "tap row 3 in 1027\n"
                        "tap credits 2 in 102\n"
                        "tap help-mask\n"
                        "alert 1\n"
                        "wait 0.5\n"
                        "background\n"
                        "foreground\n"
                        "screenshot out/a.png\n"
                        "dump \"out/with space.json\"\n");
    ASSERT_EQ(cmds.size(), 17u);
    EXPECT_EQ(cmds[0].kind, ScriptCommand::Kind::TapPoint);
    EXPECT_EQ(cmds[0].from, (Point{10, 20.5}));
    EXPECT_EQ(cmds[0].line, 2);
    EXPECT_EQ(cmds[1].target, (ScriptTarget{ScriptTarget::Kind::Named, "message", 0, 0}));
    EXPECT_EQ(cmds[2].text, "Hi \"you\"\n");
    EXPECT_EQ(cmds[3].text, "a # not a comment");
    EXPECT_EQ(cmds[3].line, 6);
    EXPECT_EQ(cmds[4].text, "backspace");
    EXPECT_EQ(cmds[5].to, (Point{3, 4}));
    EXPECT_EQ(cmds[6].target, (ScriptTarget{ScriptTarget::Kind::Tag, "", 7, 0}));
    EXPECT_EQ(cmds[7].target, (ScriptTarget{ScriptTarget::Kind::TagIn, "", 12, 1024}));
    EXPECT_EQ(cmds[8].target, (ScriptTarget{ScriptTarget::Kind::RowIn, "", 3, 1027}));
    EXPECT_EQ(cmds[9].target, (ScriptTarget{ScriptTarget::Kind::CreditsIn, "", 2, 102}));
    EXPECT_EQ(cmds[10].target, (ScriptTarget{ScriptTarget::Kind::Named, "help-mask", 0, 0}));
    EXPECT_EQ(cmds[11].index, 1);
    EXPECT_DOUBLE_EQ(cmds[12].seconds, 0.5);
    EXPECT_EQ(cmds[13].kind, ScriptCommand::Kind::Background);
    EXPECT_EQ(cmds[15].text, "out/a.png");
    EXPECT_EQ(cmds[16].text, "out/with space.json");
}

TEST(Script, ErrorsNameTheLineAndWhatIsWrong)
{
    auto e = parseFails("tap send\nfly away\n");
    EXPECT_EQ(e.line, 2);
    EXPECT_NE(e.message.find("unknown command 'fly'"), std::string::npos);

    e = parseFails("tap sned");
    EXPECT_EQ(e.line, 1);
    EXPECT_NE(e.message.find("unknown target 'sned'"), std::string::npos);

    EXPECT_EQ(parseFails("\n\ntype \"open").line, 3);
    EXPECT_NE(parseFails("tap row 2").message.find("unknown target"), std::string::npos);
    EXPECT_NE(parseFails("tap credits 2").message.find("unknown target 'credits 2'"), std::string::npos);
    EXPECT_NE(parseFails("tap credits 2 on 101").message.find("unknown target"), std::string::npos);
    EXPECT_NE(parseFails("tap credits two in 101").message.find("'two' is not a number"), std::string::npos);
    EXPECT_NE(parseFails("tap tag x").message.find("not a number"), std::string::npos);
    EXPECT_NE(parseFails("drag 1 2 3").message.find("4 arguments"), std::string::npos);
    EXPECT_NE(parseFails("wait -1").message.find("seconds"), std::string::npos);
    EXPECT_FALSE(parseFails("settle 5").message.empty());
    // Virtual time jumps, but a wait past a day is a typo, not a plan.
    EXPECT_NE(parseFails("wait 1e300").message.find("longer than a day"), std::string::npos);
    EXPECT_NE(parseFails("wait 86400.5").message.find("longer than a day"), std::string::npos);
    EXPECT_NE(parseFails("key escape").message.find("unknown key"), std::string::npos);
    EXPECT_NE(parseFails("type \"a\\q\"").message.find("escape"), std::string::npos);
    EXPECT_NE(parseFails("screenshot").message.find("1 argument"), std::string::npos);
}

TEST(Script, EveryFormTheHelpShowsParsesWithItsPlaceholdersFilledIn)
{
    const std::map<std::string, std::string> filled = {{"X", "1"},  {"Y", "2"},  {"X1", "1"},      {"Y1", "2"},
                                                       {"X2", "3"}, {"Y2", "4"}, {"N", "1"},       {"SECONDS", "1"},
                                                       {"TARGET", "send"}};
    for (const auto& help : scriptCommandHelp()) {
        std::istringstream words(help.form);
        std::string line;
        for (std::string word; words >> word;) {
            if (auto it = filled.find(word); it != filled.end())
                word = it->second;
            line += word.substr(0, word.find('|')) + " ";
        }
        auto parsed = parseScript(line);
        EXPECT_TRUE(std::holds_alternative<std::vector<ScriptCommand>>(parsed))
            << line << ": " << std::get<ScriptError>(parsed).message;
    }
}

TEST(Script, LoadingSkipsAByteOrderMarkAndReportsAFileThatCannotBeRead)
{
    test::TempDir dir;
    std::ofstream(dir / "bom.vqs") << "\xEF\xBB\xBFwait 86400\ntap send\n";
    std::ostringstream errors;
    auto loaded = loadScriptFile((dir / "bom.vqs").string(), errors);
    ASSERT_TRUE(loaded) << errors.str();
    ASSERT_EQ(loaded->size(), 2u);
    EXPECT_DOUBLE_EQ((*loaded)[0].seconds, 86400);

    for (std::string unreadable : {dir.path().string(), std::string("/proc/self/mem")}) {
        std::ostringstream message;
        EXPECT_FALSE(loadScriptFile(unreadable, message)) << unreadable;
        EXPECT_NE(message.str().find(unreadable), std::string::npos) << message.str();
    }
}

} // namespace
