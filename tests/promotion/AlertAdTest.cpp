#include "PromoFixture.h"

#include "core/EventHub.h"
#include "core/Log.h"
#include "promotion/ads/AdGenerator.h"
#include "promotion/ads/AlertAd.h"
#include "promotion/AppDetector.h"
#include "promotion/InternalLinkHandler.h"
#include "promotion/PromotionUnit.h"
#include "promotion/ShownText.h"
#include "system/Application.h"

using namespace vq;
using namespace vq::test;

namespace {

TEST(AdGeneratorTest, NamesNumbersAndPresenters)
{
    EXPECT_EQ(AdGenerator::adTypeFromName("alert"), 1);
    EXPECT_EQ(AdGenerator::adTypeFromName("wall"), 2);
    EXPECT_EQ(AdGenerator::adTypeFromName("bigads"), 3);
    EXPECT_EQ(AdGenerator::adTypeFromName("reward"), 4);
    EXPECT_EQ(AdGenerator::adTypeFromName("Alert"), 0);
    EXPECT_EQ(AdGenerator::adTypeFromName("bigad"), 0);
    EXPECT_EQ(AdGenerator::adTypeFromName(std::nullopt), 0);

    LogCapture log;
    EXPECT_FALSE(AdGenerator::adWithType(0));
    EXPECT_FALSE(AdGenerator::adWithType(5));
    EXPECT_EQ(log.count("none"), 2u);
    auto alert = AdGenerator::adWithType(1, 1);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->adType(), "alert");
    EXPECT_TRUE(log.contains("show alert ad"));
    EXPECT_NE(AdGenerator::adWithType(1), alert); // a fresh one each time
}

TEST(AppDetectorTest, SchemesAnswerInOrder)
{
    test::Harness harness;
    harness.app().setInstalledSchemes({"quillpro"});
    AppDetector detector;
    EXPECT_TRUE(detector.isInstalledAppHWithScheme("quillpro"));
    EXPECT_FALSE(detector.isInstalledAppHWithScheme(""));
    EXPECT_FALSE(detector.isInstalledAppHWithScheme(std::nullopt));
    EXPECT_FALSE(detector.isInstalledAppHWithScheme("not a scheme"));
    EXPECT_EQ(detector.isInstalledAppsWithSchemes({"inkwell", "quillpro", std::nullopt, "quillpro"}),
              (std::vector<bool>{false, true, false, true}));
    EXPECT_TRUE(detector.isInstalledAppsWithSchemes({}).empty());
}

class HideOnly : public AdDelegate {
public:
    void adDidHided(Ad&) override { ++hidden; }
    int hidden = 0;
};

class AlertAdTest : public PromoFixture {
protected:
    AlertAdTest()
    {
        setUpScreen();
        opened = EventHub::shared().subscribe<URLOpened>([this](const URLOpened& e) { urls.push_back(e.url); });
        ad = makeAd<AlertAd>(1, alertList({}));
    }
    std::shared_ptr<AlertAd> ad;
    std::vector<std::string> urls;
    Subscription opened;
};

TEST_F(AlertAdTest, ShowsTheListsTextsAndReportsTheDisplay)
{
    ad->showAd();
    ASSERT_EQ(AlertView::visibleAlerts().size(), 1u);
    auto alert = AlertView::visibleAlerts().front();
    EXPECT_EQ(alert->title(), "Try Quill Pro");
    EXPECT_EQ(alert->message(), "Fonts galore");
    EXPECT_EQ(alert->buttonTitleAtIndex(alert->cancelButtonIndex()), "Later");
    EXPECT_EQ(alert->numberOfButtons(), 2);
    EXPECT_EQ(recorder->shown, 1);
    ASSERT_TRUE(waitFor("display", 1));
    EXPECT_EQ(seen("display")[0].param("type"), "alert");
    EXPECT_EQ(seen("display")[0].param("id"), "a7");
}

TEST_F(AlertAdTest, CancelHidesWithoutAClickAcceptOpensTheLinkAndReportsIt)
{
    ad->showAd();
    tapAlert(AlertView::visibleAlerts().front(), 0);
    EXPECT_EQ(recorder->hidden, 1);
    EXPECT_TRUE(urls.empty());

    // Shown again, the same alert comes back.
    ad->showAd();
    auto alert = AlertView::visibleAlerts().front();
    EXPECT_EQ(alert, ad->alertView());
    tapAlert(alert, 1);
    EXPECT_EQ(recorder->hidden, 2);
    EXPECT_EQ(urls, std::vector<std::string>{"quillpro://open"});
    ASSERT_TRUE(waitFor("click", 1));
    settle();
    ASSERT_EQ(seen("click").size(), 1u);
    EXPECT_EQ(seen("click")[0].param("id"), "a7");
    EXPECT_EQ(seen("click")[0].param("target"), "");
}

TEST_F(AlertAdTest, ANumberAsTheIdIsReportedAsItsDigits)
{
    auto list = alertList({});
    (*(*list.dictionary())["alert"].dictionary())["id"] = PlistValue(77);
    ad->setContentInfo(std::make_shared<PlistValue>(list));
    ad->showAd();
    tapAlert(AlertView::visibleAlerts().front(), 1);
    ASSERT_TRUE(waitFor("display", 1) && waitFor("click", 1));
    EXPECT_EQ(seen("display")[0].param("id"), "77");
    EXPECT_EQ(seen("click")[0].param("id"), "77");
}

TEST_F(AlertAdTest, TextFromTheServerIsShownUpToAFewKilobytes)
{
    auto list = alertList({});
    auto& alert = *(*list.dictionary())["alert"].dictionary();
    alert["title"] = std::string(65536, 'W');
    alert["content"] = std::string(1 << 20, 'x');
    // Cut between characters, never inside one.
    alert["ok"] = std::string(4095, 'o') + "\xC3\xA9";
    ad->setContentInfo(std::make_shared<PlistValue>(list));
    ad->showAd();
    auto shown = AlertView::visibleAlerts().front();
    EXPECT_EQ(shown->title(), std::string(kMaxShownText, 'W'));
    EXPECT_EQ(shown->message(), std::string(kMaxShownText, 'x'));
    EXPECT_EQ(shown->buttonTitleAtIndex(1), std::string(4095, 'o'));
}

TEST_F(AlertAdTest, HideAdClosesWithoutAClickAndIsHarmlessOffScreen)
{
    ad->showAd();
    ad->hideAd();
    EXPECT_TRUE(AlertView::visibleAlerts().empty());
    EXPECT_EQ(recorder->hidden, 1);
    ad->hideAd();
    EXPECT_EQ(recorder->hidden, 2);
    settle();
    EXPECT_TRUE(seen("click").empty());

    // A delegate with only the hide callback.
    auto hideOnly = std::make_shared<HideOnly>();
    ad->setDelegate(hideOnly);
    ad->showAd();
    ad->hideAd();
    EXPECT_EQ(hideOnly->hidden, 1);
}

TEST_F(AlertAdTest, MissingTextsGiveEmptyOnesAndNoListShowsNothingYetReports)
{
    auto bare = AlertAd::create();
    bare->setAdType("alert");
    bare->setDelegate(recorder);
    bare->setContentInfo(std::make_shared<PlistValue>(dict({{"alert", dict({{"title", "T"}})}})));
    bare->showAd();
    auto alert = AlertView::visibleAlerts().back();
    EXPECT_EQ(alert->message(), "");
    EXPECT_EQ(alert->numberOfButtons(), 1); // cancel only
    bare->hideAd();

    auto empty = AlertAd::create();
    empty->setDelegate(recorder);
    empty->setContentInfo(nullptr);
    int before = recorder->shown;
    empty->showAd();
    EXPECT_TRUE(AlertView::visibleAlerts().empty());
    EXPECT_EQ(recorder->shown, before + 1);
    ASSERT_TRUE(waitFor("display", 2));
}

} // namespace
