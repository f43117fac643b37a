#include "main/HostFixture.h"

#include "core/RunLoop.h"
#include "ui/ScrollView.h"
#include "ui/TextView.h"
#include "ui/Window.h"

#include <fmt/format.h>

#include <fstream>

namespace vq::test {

namespace {

std::shared_ptr<ScrollView> scrollOf(TestApp& app)
{
    return std::dynamic_pointer_cast<ScrollView>(app.window->viewWithTag(100));
}

} // namespace

using ScriptDrivingTest = HostFixture;

TEST_F(ScriptDrivingTest, TapsReachTaggedViewsNamedTargetsAndPoints)
{
    ASSERT_EQ(runScript("tap tag 10\n"
                        "tap 60 40   # the same button by its point\n"
                        "tap send\n"),
              0)
        << _errors;
    EXPECT_EQ(_app->tappedTags, (std::vector<int>{10, 10, 10}));
    EXPECT_EQ(_errors, "");
}

TEST_F(ScriptDrivingTest, TagInsideScrollViewIsDraggedIntoViewBeforeTheTap)
{
    ASSERT_EQ(runScript("tap tag 18 in 100\n"), 0) << _errors;
    EXPECT_EQ(_app->tappedTags, (std::vector<int>{18}));
    // Button 18 spans 855..895 of the content; the 200-point view must show all of it.
    double y = scrollOf(*_app)->contentOffset().y;
    EXPECT_GE(y, 695);
    EXPECT_LE(y, 855);
}

TEST_F(ScriptDrivingTest, ScrollsBackUpAndAcrossDistancesShorterThanTheDragThreshold)
{
    // The drag leaves the offset at 35; button 5 (205..245) then needs only 10 more.
    ASSERT_EQ(runScript("drag 80 250 80 215\n"
                        "tap tag 5 in 100\n"
                        "tap tag 18 in 100\n"
                        "tap tag 1 in 100\n"),
              0)
        << _errors;
    EXPECT_EQ(_app->tappedTags, (std::vector<int>{5, 18, 1}));
    EXPECT_NEAR(scrollOf(*_app)->contentOffset().y, 5, 0.01);
}

TEST_F(ScriptDrivingTest, RowsOfATableAreScrolledToAndSelected)
{
    ASSERT_EQ(runScript("tap row 25 in 200\ntap row 0 in 200\n"), 0) << _errors;
    EXPECT_EQ(_app->selectedRows, (std::vector<int>{25, 0}));
}

TEST_F(ScriptDrivingTest, TypingPastingAndKeysGoToTheFocusedText)
{
    ASSERT_EQ(runScript("tap message\n"
                        "type \"Hi there\"\n"
                        "key backspace\n"
                        "paste \" and more\"\n"),
              0)
        << _errors;
    EXPECT_EQ(_app->textView->text(), "Hi ther and more");
}

TEST_F(ScriptDrivingTest, AlertButtonsAreTappedByIndexWithCancelFirst)
{
    ASSERT_EQ(runScript("tap tag 11\nalert 2\nwait 1\ntap tag 11\nalert 0\nwait 1\n"), 0) << _errors;
    EXPECT_EQ(_app->clickedAlertButtons, (std::vector<int>{2, 0}));
}

TEST_F(ScriptDrivingTest, TimeIsVirtualAndTheAppCanLeaveAndComeBack)
{
    ASSERT_EQ(runScript("wait 2.5\nbackground\nwait 600\nforeground\n"), 0) << _errors;
    EXPECT_DOUBLE_EQ(RunLoop::main().now(), 602.5);
    EXPECT_EQ(_app->backgroundCount, 1);
}

using ScriptErrorTest = HostFixture;

TEST_F(ScriptErrorTest, ParseErrorsNameTheLineAndLaunchNothing)
{
    EXPECT_EQ(runScript("tap tag 10\nfly away\n"), 2);
    EXPECT_EQ(_errors, "" + (_dir / "test.vqs").string() + ":2: unknown command 'fly'\n");
    EXPECT_EQ(_app, nullptr);

    EXPECT_EQ(runScript("# a comment\n\ntap nowhere\n"), 2);
    EXPECT_NE(_errors.find("test.vqs:3: unknown target 'nowhere'"), std::string::npos) << _errors;
}

TEST_F(ScriptErrorTest, TargetsThatCannotBeReachedStopTheRunAtTheirLine)
{
    struct Case {
        std::string script;
        std::string message;
    };
    const Case cases[] = {
        {"tap tag 10\ntap tag 999\ntap tag 10\n", "test.vqs:2: no view with tag 999 is on screen"},
        {"tap tag 30 in 100\n", "test.vqs:1: no view with tag 30 is shown inside the view tagged 100"},
        {"tap row 30 in 200\n", "test.vqs:1: the table tagged 200 has no row 30"},
        {"tap row 1 in 10\n", "test.vqs:1: the view tagged 10 is a Button, not a table"},
        {"tap composer-send\n", "test.vqs:1: the target composer-send is not available yet"},
        {"tap info\n", "test.vqs:1: info was not found"},
        {"type \"x\"\n", "test.vqs:1: nothing has the keyboard focus"},
        {"alert 0\n", "test.vqs:1: no alert is on screen"},
        {"tap tag 11\nalert 3\n", "test.vqs:2: the alert has 3 buttons; there is no button 3"},
        // The keyboard comes up over the table.
        {"tap message\ntap row 0 in 200\n", "test.vqs:2: row 0 in 200 is covered by a KeyboardView"},
        // Hit testing passes over these to the scroll view they sit in: a tap there would do nothing.
        {"tap tag 31 in 100\n", "test.vqs:1: tag 31 in 100 is disabled"},
        {"tap tag 33 in 100\n", "test.vqs:1: tag 33 in 100 is inside a View (tag 32) that does not take touches"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        EXPECT_EQ(runScript(c.script), 2);
        EXPECT_NE(_errors.find(c.message), std::string::npos) << _errors;
    }
    // The first case stopped before its third line.
    runScript(cases[0].script);
    EXPECT_EQ(_app->tappedTags, (std::vector<int>{10}));
}

TEST_F(ScriptErrorTest, MissingScriptAndUnusableFoldersAreReported)
{
    LaunchOptions missing;
    missing.script = _dir / "nope.vqs";
    EXPECT_EQ(runHost(missing), 2);
    EXPECT_NE(_errors.find((_dir / "nope.vqs").string()), std::string::npos) << _errors;

    std::ofstream(_dir / "plain-file") << "x";
    LaunchOptions badData;
    badData.dataDir = _dir / "plain-file" / "data";
    EXPECT_EQ(runScript("wait 1\n", badData), 1);
    EXPECT_NE(_errors.find((_dir / "plain-file").string()), std::string::npos) << _errors;

    LaunchOptions badEvents;
    badEvents.eventsFile = _dir / "plain-file" / "events.jsonl";
    EXPECT_EQ(runScript("wait 1\n", badEvents), 1);
    EXPECT_NE(_errors.find("events"), std::string::npos) << _errors;
}

} // namespace vq::test
