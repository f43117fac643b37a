#include "PromoFixture.h"

#include "analytics/Analytics.h"
#include "core/EventHub.h"
#include "core/Log.h"
#include "core/NotificationCenter.h"
#include "core/PropertyListValues.h"
#include "core/StringAdditions.h"
#include "core/UserDefaults.h"
#include "promotion/ads/AlertAd.h"
#include "promotion/Gobals.h"
#include "promotion/InternalLinkHandler.h"
#include "promotion/PromotionUnit.h"
#include "system/AlertView.h"
#include "system/Application.h"
#include "system/Device.h"
#include "ui/ActivityIndicator.h"
#include "ui/Window.h"

#include "support/ScopedTimeZone.h"

#include <cstdlib>
#include <ctime>

#include <limits>

using namespace vq;
using namespace vq::test;

namespace {

using TimeZone = vq::test::ScopedTimeZone;

class PromotionUnitTest : public PromoFixture {
protected:
    PromotionUnitTest()
    {
        harness.makeWindow();
        unit = PromotionUnit::defaultInstance("111");
    }

    // One activation, its reply handled.
    void activate()
    {
        unit->becomeActived();
        ASSERT_TRUE(unit->request());
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return unit->request()->isFinished(); }, 20));
        RunLoop::main().runPending();
    }

    std::size_t alertsShown() const { return AlertView::visibleAlerts().size(); }

    std::shared_ptr<PromotionUnit> unit;
};

TEST_F(PromotionUnitTest, InfoUrlCarriesTheDeviceOnEachSystemAndTimeZone)
{
    auto& device = Device::current();
    device.setLinkLevelAddress(std::array<std::uint8_t, 6>{0x10, 0x9a, 0xdd, 0x01, 0x02, 0x03});
    device.setHardwareModel("iPhone4,1");
    setList(dict({}));
    struct Case {
        const char* version;
        const char* tz;
        const char* os;
        const char* dtype;
        const char* tzParam;
    };
    int n = 0;
    for (Case c : {Case{"6.1", "IST-5:30", "6.100000", "ad id", "5"}, Case{"5.1", "NPT-5:45", "5.100000", "mac", "5"},
                   Case{"6.1.3", "MART+9:30", "6.100000", "ad id", "-9"}}) {
        device.setSystemVersion(c.version);
        TimeZone zone(c.tz);
        activate();
        ASSERT_EQ(seen("info").size(), static_cast<std::size_t>(++n));
        auto info = seen("info").back();
        EXPECT_EQ(info.param("appid"), "111");
        EXPECT_EQ(info.param("dtype"), c.dtype);
        EXPECT_EQ(info.param("tz"), c.tzParam) << c.tz;
        EXPECT_EQ(info.param("os"), c.os);
        EXPECT_EQ(info.param("dv"), "iPhone 4S");
        EXPECT_EQ(info.param("ver"), Gobals::appVersion());
        EXPECT_EQ(info.param("did"), Gobals::deviceId().value_or("?"));
        // The blanks travel escaped, never raw.
        EXPECT_NE(info.target.find("dv=iPhone%204S"), std::string::npos) << info.target;
        if (std::string(c.dtype) == "ad id")
            EXPECT_NE(info.target.find("dtype=ad%20id"), std::string::npos);
        else
            EXPECT_EQ(info.param("did"), stringFromMD5("10:9A:DD:01:02:03"));
    }
}

TEST_F(PromotionUnitTest, AStatusFailureBecomesAnAnalyticsEventAndShowsNothing)
{
    std::vector<std::string> events;
    auto heard = EventHub::shared().subscribe<AnalyticsEventLogged>(
        [&](const AnalyticsEventLogged& e) { events.push_back(e.name); });
    auto list = alertList({{"force_alert", true}});
    (*list.dictionary())["status"] = dict({{"code", "3"}, {"msg", "app banned"}});
    setList(list);
    activate();
    EXPECT_EQ(events, std::vector<std::string>{"app banned"});
    ASSERT_TRUE(unit->promotionList()); // the list stays current
    EXPECT_FALSE(unit->lastAd());
    EXPECT_FALSE(unit->alertAd());
    EXPECT_EQ(alertsShown(), 0u);
    EXPECT_EQ(unit->displayTime(), 0);

    // A code that is no finite number is a failure too.
    for (double code : {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                        std::numeric_limits<double>::quiet_NaN()}) {
        unit->setPromotionList(std::make_shared<PlistValue>(
            dict({{"status", dict({{"code", code}, {"msg", "odd code"}})}, {"base", dict({{"ad_type", "alert"}})}})));
        EXPECT_FALSE(unit->checkStatus()) << code;
    }
    EXPECT_EQ(events.size(), 4u);

    // Without a status section the check passes.
    setList(alertList({}));
    (*const_cast<PlistValue&>(*unit->promotionList()).dictionary()).erase("status");
    activate();
    EXPECT_TRUE(unit->lastAd());
    EXPECT_EQ(events.size(), 4u);
}

TEST_F(PromotionUnitTest, AListThatTricklesInEndsAtItsDeadlineSoTheNextActivationFetchesAgain)
{
    infoTrickles = true;
    unit->becomeActived();
    auto first = unit->request();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return first->isFinished(); }, PromotionUnit::kListDeadlineSeconds + 10));
    EXPECT_EQ(first->error(), "The request timed out");
    infoTrickles = false;
    setList(alertList({}));
    activate();
    EXPECT_NE(unit->request(), first);
    EXPECT_TRUE(unit->promotionList());
}

TEST_F(PromotionUnitTest, LaunchTypeZeroShowsOnEveryActivationOneOnlyOnce)
{
    setList(alertList({{"launch_type", 0}}));
    activate();
    ASSERT_TRUE(unit->lastAd());
    EXPECT_TRUE(unit->hasAdsShowed());
    EXPECT_EQ(alertsShown(), 1u);
    auto first = unit->lastAd();
    // While it is up, nothing new comes.
    activate();
    EXPECT_EQ(unit->lastAd(), first);
    EXPECT_EQ(unit->displayTime(), 1);
    // Dismissed, the next activation shows a new one.
    tapAlert(AlertView::visibleAlerts().front(), 0);
    EXPECT_FALSE(unit->hasAdsShowed());
    activate();
    EXPECT_NE(unit->lastAd(), first);
    EXPECT_EQ(unit->displayTime(), 2);

    setList(alertList({{"launch_type", "1"}}));
    unit->lastAd()->hideAd();
    activate();
    EXPECT_EQ(unit->displayTime(), 2); // once per run, already spent
    EXPECT_FALSE(unit->hasAdsShowed());
}

TEST_F(PromotionUnitTest, LaunchTypeOneShowsOnTheFirstRefreshOnly)
{
    setList(alertList({{"launch_type", 1}}));
    activate();
    ASSERT_TRUE(unit->lastAd());
    unit->lastAd()->hideAd();
    EXPECT_EQ(alertsShown(), 0u);
    activate();
    activate();
    EXPECT_EQ(unit->displayTime(), 1);
    EXPECT_EQ(alertsShown(), 0u);
}

TEST_F(PromotionUnitTest, ForcedAlertOpensOnceWhileOpenAndAgainAfterDismissal)
{
    setList(alertList({{"ad_type", "none-such"}, {"force_alert", "YES"}}));
    LogCapture log;
    activate();
    ASSERT_TRUE(unit->alertAd());
    EXPECT_FALSE(unit->lastAd()); // the unknown type gives no presenter...
    EXPECT_EQ(unit->displayTime(), 1); // ...and still counts
    EXPECT_TRUE(log.contains("none"));
    auto first = unit->alertAd();
    activate();
    EXPECT_EQ(unit->alertAd(), first);
    EXPECT_EQ(alertsShown(), 1u);
    // The user taps Later: a later refresh opens a new one.
    auto alert = AlertView::visibleAlerts().front();
    tapAlert(alert, alert->cancelButtonIndex());
    EXPECT_FALSE(unit->alertAd());
    activate();
    ASSERT_TRUE(unit->alertAd());
    EXPECT_NE(unit->alertAd(), first);
    EXPECT_TRUE(log.contains("is keyboard visible 0, is app store displaying 0, has ads showed 0, force_alert 1"));
}

TEST_F(PromotionUnitTest, WithTheKeyboardUpOnlyTheForcedAlertComes)
{
    setList(alertList({{"force_alert", 1}}));
    NotificationCenter::defaultCenter().post(KeyboardDidShowNotification);
    EXPECT_TRUE(unit->isKeyboardVisible());
    activate();
    EXPECT_FALSE(unit->lastAd());
    EXPECT_EQ(unit->displayTime(), 0);
    EXPECT_TRUE(unit->alertAd());
    EXPECT_EQ(alertsShown(), 1u);

    NotificationCenter::defaultCenter().post(KeyboardWillHideNotification);
    EXPECT_FALSE(unit->isKeyboardVisible());
    activate();
    EXPECT_TRUE(unit->lastAd());
    EXPECT_EQ(alertsShown(), 2u);
}

TEST_F(PromotionUnitTest, ShowAdWithTypeSevenReplacesTheListAndHoldsNoAd)
{
    setList(alertList({}));
    activate();
    ASSERT_TRUE(unit->lastAd());
    // While an ad is up, a request does nothing, not even a fetch.
    auto fetched = seen("info").size();
    unit->showAdWithType(7);
    EXPECT_EQ(seen("info").size(), fetched);
    unit->lastAd()->hideAd();

    setList(alertList({{"ad_type", "wall"}, {"marker", "second"}}));
    bool indicatorUp = false;
    auto blocked = EventHub::shared().subscribe<MainThreadWillBlock>([&](const MainThreadWillBlock&) {
        indicatorUp = unit->loadingView()->superview() != nullptr && unit->loadingView()->isAnimating();
    });
    LogCapture log;
    unit->showAdWithType(7);
    EXPECT_EQ(seen("info").size(), fetched + 1);
    EXPECT_TRUE(indicatorUp);
    EXPECT_EQ(unit->loadingView()->superview(), nullptr);
    EXPECT_FALSE(unit->loadingView()->isAnimating());
    EXPECT_FALSE(unit->lastAd());
    ASSERT_TRUE(unit->promotionList());
    EXPECT_EQ(stringValueOf(findKeyPath(*unit->promotionList(), "base.marker")), "second");
    EXPECT_TRUE(log.contains("none"));

    // A failed fetch leaves no list and no ad.
    setInfoReply(500, "oops");
    unit->showAdWithType(1);
    EXPECT_FALSE(unit->promotionList());
    EXPECT_FALSE(unit->lastAd());
    EXPECT_EQ(unit->loadingView()->superview(), nullptr);

    // On request the alert comes whatever the list's own type.
    setList(alertList({{"ad_type", "reward"}}));
    unit->showAdWithType(1);
    ASSERT_TRUE(unit->lastAd());
    EXPECT_EQ(unit->lastAd()->adType(), "alert");
}

TEST_F(PromotionUnitTest, StorePageHidesTheCurrentAdAndItsClosingShowsItAgain)
{
    setList(alertList({{"force_alert", true}}));
    activate();
    ASSERT_TRUE(unit->lastAd());
    ASSERT_TRUE(unit->alertAd());
    EXPECT_EQ(alertsShown(), 2u);
    auto current = unit->lastAd();

    unit->internalAppStoreWillAppear();
    EXPECT_EQ(alertsShown(), 0u);
    EXPECT_FALSE(unit->hasAdsShowed());
    EXPECT_FALSE(unit->alertAd());
    EXPECT_EQ(unit->lastAd(), current);

    unit->internalAppStoreWillDisappear();
    EXPECT_EQ(alertsShown(), 1u); // the current ad again, not the forced alert
    EXPECT_TRUE(unit->hasAdsShowed());
    // Each showing is reported.
    EXPECT_TRUE(waitFor("display", 3));
}

TEST_F(PromotionUnitTest, TheInternalHandlerTellsTheUnitAroundItsStorePage)
{
    setList(alertList({}));
    activate();
    ASSERT_TRUE(unit->hasAdsShowed());
    unit->internalLinkHandler()->handleLink("http://127.0.0.1:1/go/5", "5");
    EXPECT_TRUE(Gobals::isAppStoreDisplaying());
    EXPECT_FALSE(unit->hasAdsShowed());
    EXPECT_EQ(alertsShown(), 0u);

    // A refresh while the page is up shows no automatic ad.
    activate();
    EXPECT_FALSE(unit->hasAdsShowed());

    auto page = std::dynamic_pointer_cast<StoreProductPage>(Gobals::rootViewForUIDisplay());
    ASSERT_TRUE(page);
    page->done();
    harness.advance(1);
    RunLoop::main().runPending();
    EXPECT_FALSE(Gobals::isAppStoreDisplaying());
    EXPECT_TRUE(unit->hasAdsShowed());
    EXPECT_EQ(alertsShown(), 1u);
    EXPECT_TRUE(connectionsEnd());
}

TEST_F(PromotionUnitTest, BannerKeyFromTheServerWinsAndIsRemembered)
{
    EXPECT_EQ(unit->bannerKey(), std::nullopt);
    UserDefaults::standard().setString("banner_key", "");
    EXPECT_EQ(unit->bannerKey(), std::nullopt);
    UserDefaults::standard().setString("banner_key", "old");
    EXPECT_EQ(unit->bannerKey(), "old");

    setList(alertList({{"banner_key", "ca-1234"}}));
    activate();
    EXPECT_EQ(UserDefaults::standard().stringForKey("banner_key"), "ca-1234"); // stored by reload itself
    EXPECT_EQ(unit->bannerKey(), "ca-1234");

    setList(alertList({{"banner_key", "none"}}));
    unit->lastAd()->hideAd();
    activate();
    EXPECT_EQ(unit->bannerKey(), std::nullopt);
    // A later run without a list still has no banner.
    unit->setPromotionList(nullptr);
    EXPECT_EQ(UserDefaults::standard().stringForKey("banner_key"), "none");
    EXPECT_EQ(unit->bannerKey(), std::nullopt);

    // A number where the key's text should be is no key, nor is an empty text.
    unit->setPromotionList(std::make_shared<PlistValue>(dict({{"base", dict({{"banner_key", 5}})}})));
    EXPECT_EQ(unit->bannerKey(), std::nullopt);
    unit->setPromotionList(std::make_shared<PlistValue>(dict({{"base", dict({{"banner_key", ""}})}})));
    EXPECT_EQ(unit->bannerKey(), std::nullopt);
    unit->setPromotionList(std::make_shared<PlistValue>(dict({{"base", dict({{"banner_key", std::string("\0zero", 5)}})}})));
    EXPECT_EQ(unit->bannerKey(), std::nullopt);
}

TEST_F(PromotionUnitTest, PushIsAskedForUntilARegistrationSucceeds)
{
    EXPECT_FALSE(unit->isApns());
    setList(alertList({{"apns", "true"}}));
    activate();
    EXPECT_TRUE(unit->isApns());
    EXPECT_NE(harness.app().enabledRemoteNotificationTypes(), 0);

    std::vector<std::uint8_t> token(32);
    for (std::size_t i = 0; i < token.size(); ++i)
        token[i] = static_cast<std::uint8_t>(i * 7 + 0xa0);
    LogCapture log;
    auto text = unit->registDeviceSucess(token);
    EXPECT_EQ(text.size(), 71u);
    EXPECT_EQ(text.substr(0, 18), "a0a7aeb5-bcc3cad1-");
    EXPECT_EQ(text.find_first_of("<> "), std::string::npos);
    EXPECT_TRUE(log.contains("regist success.[token=<a0a7aeb5 bcc3cad1 d8dfe6ed f4fb0209 10171e25 2c333a41 484f565d "
                             "646b7279>]"));
    EXPECT_FALSE(unit->isApns());
}

TEST_F(PromotionUnitTest, BadRepliesKeepTheOldListOrLeaveNone)
{
    setList(alertList({{"marker", "good"}}));
    activate();
    ASSERT_TRUE(unit->promotionList());
    unit->lastAd()->hideAd();
    LogCapture log;

    // 500 and an empty body: the old list stays.
    setInfoReply(500, writePropertyList(alertList({{"marker", "bad"}})));
    activate();
    setInfoReply(200, "");
    activate();
    ASSERT_TRUE(unit->promotionList());
    EXPECT_EQ(stringValueOf(findKeyPath(*unit->promotionList(), "base.marker")), "good");

    // A server that is down: one line, the old list stays.
    setPromotionServerBase("http://127.0.0.1:1");
    activate();
    EXPECT_EQ(log.count("get promotion list failed " + unit->request()->url()), 1u);
    ASSERT_TRUE(unit->promotionList());
    setPromotionServerBase(server.url());

    // Garbage, a root array, a truncated binary list, nesting past the limit: no list, nothing shown.
    std::string binary = writePropertyList(alertList({}), PlistFormat::Binary);
    std::string deep;
    for (int i = 0; i < 600; ++i)
        deep += "<array>";
    for (const std::string& body :
         {std::string("garbage"), writePropertyList(PlistValue(PlistValue::Array{1, 2})),
          binary.substr(0, binary.size() / 2), "<?xml version=\"1.0\"?><plist>" + deep + "</plist>"}) {
        setList(alertList({}));
        activate();
        ASSERT_TRUE(unit->promotionList());
        unit->lastAd()->hideAd();
        setInfoReply(200, body);
        activate();
        EXPECT_FALSE(unit->promotionList());
        EXPECT_FALSE(unit->hasAdsShowed());
        EXPECT_FALSE(unit->checkStatus());
    }

    // Wrong types throughout: no crash, nothing where the list gives nothing.
    setList(dict({{"status", "oops"},
                  {"base", dict({{"ad_type", dict({})}, {"launch_type", "x"}, {"force_alert", dict({})},
                                 {"apns", PlistValue::Array{1}}, {"banner_key", 7}})},
                  {"alert", "not a section"},
                  {"wall", PlistValue::Array{1, 2, 3}}}));
    activate();
    EXPECT_FALSE(unit->lastAd());
    EXPECT_FALSE(unit->alertAd());
    EXPECT_FALSE(unit->isApns());
}

TEST_F(PromotionUnitTest, ASecondAsyncFetchWhileTheFirstRunsStartsNothing)
{
    setList(alertList({}));
    unit->doPromotionListRequestAsync();
    auto first = unit->request();
    unit->doPromotionListRequestAsync();
    EXPECT_EQ(unit->request(), first);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return first->isFinished(); }, 20));
    RunLoop::main().runPending();
    EXPECT_EQ(seen("info").size(), 1u);
}

TEST_F(PromotionUnitTest, DefaultInstanceKeepsTheFirstId)
{
    EXPECT_EQ(PromotionUnit::defaultInstance("222"), unit);
    EXPECT_EQ(PromotionUnit::currentInstance()->appId(), "111");
}

} // namespace
