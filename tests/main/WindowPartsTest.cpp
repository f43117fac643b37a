// The pieces of the window host that need no display: the mouse wheel and
// real-time script playing.
#include "main/ScriptPlayer.h"
#include "main/ScriptRunner.h"
#include "main/WheelScroll.h"

#include "support/Harness.h"
#include "ui/ScrollView.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <sstream>
#include <variant>

namespace vq::test {

TEST(WheelScrollTest, ScrollsTheInnermostScrollViewUnderThePointWithinItsRange)
{
    Harness harness;
    auto window = harness.makeWindow();
    auto root = window->rootViewController()->view();
    auto outer = ScrollView::create({0, 100, 320, 300});
    outer->setContentSize({320, 600});
    auto inner = ScrollView::create({0, 0, 320, 100});
    inner->setContentSize({320, 150});
    outer->addSubview(inner);
    root->addSubview(outer);

    // Over the inner view: it moves first, and only to its end (50).
    EXPECT_TRUE(scrollWheelAt({50, 150}, {0, 40}));
    EXPECT_EQ(inner->contentOffset().y, 40);
    EXPECT_TRUE(scrollWheelAt({50, 150}, {0, 40}));
    EXPECT_EQ(inner->contentOffset().y, 50);
    EXPECT_EQ(outer->contentOffset().y, 0);
    // At its end the outer view takes the rest.
    EXPECT_TRUE(scrollWheelAt({50, 150}, {0, 40}));
    EXPECT_EQ(outer->contentOffset().y, 40);

    // Up past the top stops at zero; outside any scroll view nothing moves.
    EXPECT_TRUE(scrollWheelAt({50, 350}, {0, -400}));
    EXPECT_EQ(outer->contentOffset().y, 0);
    EXPECT_FALSE(scrollWheelAt({50, 50}, {0, 40}));
}

class ScriptPlayerTest : public ::testing::Test {
protected:
    ScriptPlayer player(const std::string& text)
    {
        auto parsed = parseScript(text);
        auto commands = std::get<std::vector<ScriptCommand>>(parsed);
        return ScriptPlayer(std::make_shared<ScriptRunner>(nullptr, "t.vqs", _errors), std::move(commands));
    }
    std::filesystem::path file(const std::string& name) const { return _harness.dataRoot() / name; }

    Harness _harness;
    std::ostringstream _errors;
};

TEST_F(ScriptPlayerTest, WaitsHoldTheNextCommandUntilTheirTimeWithoutBlocking)
{
    _harness.makeWindow();
    auto script = player(fmt::format("dump \"{}\"\nwait 1\ndump \"{}\"\nwait 0.5\n", file("a.json").string(),
                                     file("b.json").string()));
    EXPECT_EQ(script.step(10), ScriptPlayer::State::Playing);
    EXPECT_TRUE(std::filesystem::exists(file("a.json")));
    script.step(10); // the wait
    EXPECT_EQ(script.nextDeadline(), 11);
    script.step(10.9);
    EXPECT_FALSE(std::filesystem::exists(file("b.json")));
    script.step(11);
    EXPECT_TRUE(std::filesystem::exists(file("b.json")));
    // The trailing wait is part of the script.
    EXPECT_EQ(script.step(11), ScriptPlayer::State::Playing);
    EXPECT_EQ(script.step(11.4), ScriptPlayer::State::Playing);
    EXPECT_EQ(script.step(11.5), ScriptPlayer::State::Finished);
    EXPECT_EQ(script.nextDeadline(), std::nullopt);
}

TEST_F(ScriptPlayerTest, AFailingCommandStopsThePlayAndNamesItsLine)
{
    _harness.makeWindow();
    auto script = player(fmt::format("wait 0\ntype \"x\"\ndump \"{}\"\n", file("after.json").string()));
    script.step(0);
    EXPECT_EQ(script.step(0), ScriptPlayer::State::Failed);
    EXPECT_EQ(script.step(5), ScriptPlayer::State::Failed);
    EXPECT_FALSE(std::filesystem::exists(file("after.json")));
    EXPECT_NE(_errors.str().find("t.vqs:2: nothing has the keyboard focus"), std::string::npos) << _errors.str();
}

} // namespace vq::test
