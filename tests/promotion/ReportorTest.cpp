#include "PromoFixture.h"

#include "analytics/Analytics.h"
#include "core/EventHub.h"
#include "core/Log.h"
#include "promotion/Gobals.h"
#include "promotion/PromotionUnit.h"
#include "promotion/Reportor.h"

#include <algorithm>

using namespace vq;
using namespace vq::test;

namespace {

class ReportorTest : public PromoFixture {
protected:
    ReportorTest() { PromotionUnit::defaultInstance("111"); }

    // The list texts of the installed reports the server received.
    std::vector<std::string> installedLists() const
    {
        std::vector<std::string> lists;
        for (const auto& s : seen("install"))
            lists.push_back(s.param("list"));
        return lists;
    }
    std::shared_ptr<Reportor> reporter = Reportor::instance();
};

TEST_F(ReportorTest, EachInstalledAppIsReportedOncePerRunWithoutATrailingComma)
{
    LogCapture log;
    reporter->reportInstalledApps({"1", "2", "3"});
    reporter->reportInstalledApps({"1", "2", "3"});
    EXPECT_EQ(log.count("app 3 has already been detected and reported"), 1u);
    reporter->reportInstalledApps({"3", "4"});
    reporter->reportInstalledApps({"4", "3"});
    EXPECT_EQ(log.count("app 3 has already been detected and reported"), 2u);
    reporter->reportInstalledApps({"5", "6", "5"});
    reporter->reportInstalledApps({"7", "7"});
    reporter->reportInstalledApps({});
    ASSERT_TRUE(waitFor("install", 4));
    settle();
    // Reports run side by side, so they may arrive in any order.
    auto lists = installedLists();
    std::sort(lists.begin(), lists.end());
    EXPECT_EQ(lists, (std::vector<std::string>{"1,2,3", "4", "5,6", "7"}));
    // Commas travel as they are.
    auto installs = seen("install");
    EXPECT_TRUE(std::any_of(installs.begin(), installs.end(),
                            [](const auto& s) { return s.target.find("&list=1,2,3") != std::string::npos; }));
    EXPECT_TRUE(log.contains("report installed url  " + server.url() + "/index.php?action=install&ver=" +
                             Gobals::appVersion() + "&appid=111&did=" + Gobals::deviceId().value_or("") +
                             "&dtype=ad id&list=1,2,3"));
    EXPECT_EQ(reporter->reportedInstalledAppList(), (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7"}));
}

TEST_F(ReportorTest, AListOfHundredsOfThousandsOfAppsIsCheckedInOnePass)
{
    // Once a search of every id reported so far, per id: minutes for a long reward list.
    std::vector<std::string> ids;
    for (int i = 0; i < 200000; ++i)
        ids.push_back(std::to_string(6812000 + i));
    setPromotionServerBase("http://127.0.0.1:1"); // the report itself does not matter here
    reporter->reportInstalledApps(ids);
    reporter->reportInstalledApps(ids);
    EXPECT_EQ(reporter->reportedInstalledAppList().size(), ids.size());
    setPromotionServerBase(server.url());
}

TEST_F(ReportorTest, AFailedReportOfAnyKindForgetsWhatWasReported)
{
    reporter->reportInstalledApps({"1"});
    ASSERT_TRUE(waitFor("install", 1));
    setPromotionServerBase("http://127.0.0.1:1");
    LogCapture log;
    reporter->reportDisplay("alert", "a1");
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return reporter->reportedInstalledAppList().empty(); }, 20));
    EXPECT_EQ(log.count("report fail http://127.0.0.1:1/index.php?action=display&ver=" + Gobals::appVersion() +
                        "&appid=111&did=" + Gobals::deviceId().value_or("") + "&dtype=ad%20id&type=alert&id=a1"),
              1u);
    setPromotionServerBase(server.url());
    reporter->reportInstalledApps({"1"});
    ASSERT_TRUE(waitFor("install", 2));
    EXPECT_EQ(installedLists(), (std::vector<std::string>{"1", "1"}));
}

TEST_F(ReportorTest, MissingValuesAreSentEmptyAndAnEmptyTokenSendsNothing)
{
    reporter->reportClick("wall", std::nullopt, "42");
    reporter->reportDisplay(std::nullopt, std::nullopt);
    reporter->reportApns("");
    reporter->reportApns(std::nullopt);
    reporter->reportApns("0a1b2c3d-4e5f6071");
    ASSERT_TRUE(waitFor("click", 1) && waitFor("display", 1) && waitFor("apns", 1));
    settle();
    auto click = seen("click").front();
    EXPECT_EQ(click.param("type"), "wall");
    EXPECT_EQ(click.param("id"), "");
    EXPECT_EQ(click.param("target"), "42");
    EXPECT_EQ(click.param("appid"), "111");
    EXPECT_EQ(click.param("dtype"), "ad id");
    auto display = seen("display").front();
    EXPECT_EQ(display.param("type"), "");
    EXPECT_EQ(display.param("id"), "");
    ASSERT_EQ(seen("apns").size(), 1u);
    EXPECT_EQ(seen("apns").front().param("token"), "0a1b2c3d-4e5f6071");
}

TEST_F(ReportorTest, OnlyANonZeroStatusInAReplyBecomesAnEvent)
{
    std::vector<std::string> events;
    auto heard = EventHub::shared().subscribe<AnalyticsEventLogged>(
        [&](const AnalyticsEventLogged& e) { events.push_back(e.name); });
    LogCapture log;
    reporter->reportDisplay("alert", "1");
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !log.lines().empty(); }, 20));
    EXPECT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].rfind("[200]report finished " + server.url() + "/index.php?action=display", 0), 0u);
    EXPECT_TRUE(events.empty());

    {
        std::lock_guard lock(mutex);
        reportBody = writePropertyList(dict({{"status", dict({{"code", 2}, {"msg", "slow down"}})}}));
    }
    reporter->reportDisplay("alert", "2");
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !events.empty(); }, 20));
    EXPECT_EQ(events, std::vector<std::string>{"slow down"});

    // A failure status with a body that is not a list, or a 500: nothing but the line.
    {
        std::lock_guard lock(mutex);
        reportBody = "garbage";
    }
    reporter->reportDisplay("alert", "3");
    {
        std::lock_guard lock(mutex);
        reportStatusCode = 500;
    }
    log.clear();
    reporter->reportDisplay("alert", "4");
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return log.lines().size() >= 2; }, 20));
    EXPECT_EQ(events.size(), 1u);
}

TEST_F(ReportorTest, ServerValuesArriveWholeOrTheReportIsNotSent)
{
    // Delimiters in a value stay inside it: no parameter added, none cut off.
    reporter->reportClick("wall", "x&action=apns&token=EVIL", "b1#frag");
    reporter->reportDisplay("alert", "a=b?c+d e%20");
    ASSERT_TRUE(waitFor("click", 1) && waitFor("display", 1));
    auto click = seen("click").front();
    EXPECT_EQ(click.param("id"), "x&action=apns&token=EVIL");
    EXPECT_EQ(click.param("target"), "b1#frag");
    EXPECT_EQ(click.params.count("token"), 0u);
    EXPECT_EQ(seen("display").front().param("id"), "a=b?c+d e%20");

    // A value no URL can carry: one line, no request, and an installed id that
    // was not sent is sent with the next report.
    LogCapture log;
    reporter->reportClick("wall", "\xe2\x98\x83", "1");
    reporter->reportInstalledApps({"5", "\xe2\x98\x83"});
    EXPECT_TRUE(reporter->reportedInstalledAppList().empty());
    reporter->reportInstalledApps({"5"});
    ASSERT_TRUE(waitFor("install", 1));
    settle();
    EXPECT_EQ(seen("click").size(), 1u);
    EXPECT_EQ(installedLists(), std::vector<std::string>{"5"});
    EXPECT_EQ(log.count("report click not sent: its id cannot be written in a URL"), 1u);
    EXPECT_EQ(log.count("report install not sent: its list cannot be written in a URL"), 1u);
}

} // namespace
