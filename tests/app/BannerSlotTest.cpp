#include "EditorFixture.h"
#include "support/LoopbackServer.h"

#include "adnetwork/BannerView.h"
#include "core/Bundle.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/PropertyList.h"
#include "core/RunLoop.h"
#include "core/Timer.h"
#include "core/UserDefaults.h"
#include "graphics/Image.h"
#include "options/OptionsView.h"
#include "promotion/PromotionUnit.h"
#include "ui/Renderer.h"
#include "ui/ScrollView.h"

#include <gtest/gtest.h>

using namespace vq;
using vq::test::Editor;

namespace {

using Keys = std::vector<std::optional<std::string>>;

// Launches with the key (if any) already remembered from an earlier run.
struct SlotEditor : Editor {
    explicit SlotEditor(std::optional<std::string> storedKey, DeviceProfile profile = DeviceProfile::Phone,
                        std::optional<std::string> adServer = std::nullopt)
        : Editor(profile, "7.0", false)
    {
        if (adServer)
            BannerView::setAdServer(*adServer);
        if (storedKey)
            UserDefaults::standard().setString("banner_key", *storedKey);
        harness.app().launch();
    }
    BannerView& banner() const { return *vc().bannerView(); }
};

} // namespace

TEST(BannerSlot, WithAKnownKeyRequestsAtOnceAndDoesNotPoll)
{
    SlotEditor e("unit-1");
    EXPECT_EQ(e.banner().adUnitID(), std::optional<std::string>("unit-1"));
    EXPECT_EQ(e.banner().requestedUnitIDs(), (Keys{"unit-1"}));
    EXPECT_EQ(e.vc().bannerTimer(), nullptr);
    EXPECT_EQ(e.banner().delegate().get(), static_cast<BannerViewDelegate*>(&e.vc()));
    e.harness.advance(30);
    EXPECT_EQ(e.banner().loadCount(), 1u);
}

TEST(BannerSlot, WithoutAKeyPollsEveryFiveSecondsUntilOneArrives)
{
    SlotEditor e("none");
    EXPECT_EQ(e.banner().adUnitID(), std::nullopt);
    EXPECT_EQ(e.banner().requestedUnitIDs(), (Keys{std::nullopt}));
    auto timer = e.vc().bannerTimer();
    ASSERT_TRUE(timer);
    EXPECT_TRUE(timer->isValid());
    EXPECT_TRUE(timer->repeats());
    EXPECT_EQ(timer->timeInterval(), 5.0);

    e.harness.advance(12);
    EXPECT_EQ(e.banner().loadCount(), 1u);
    // An empty key from the server is no key: the poll goes on.
    auto unit = PromotionUnit::currentInstance();
    unit->setPromotionList(std::make_shared<PlistValue>(
        PlistValue::Dictionary{{"base", PlistValue(PlistValue::Dictionary{{"banner_key", ""}})}}));
    e.harness.advance(5);
    EXPECT_EQ(e.banner().loadCount(), 1u);
    EXPECT_TRUE(timer->isValid());
    unit->setPromotionList(nullptr);
    UserDefaults::standard().setString("banner_key", "late-key");
    e.harness.advance(2.9);
    EXPECT_EQ(e.banner().loadCount(), 1u);
    e.harness.advance(0.2);
    EXPECT_EQ(e.banner().requestedUnitIDs(), (Keys{std::nullopt, "late-key"}));
    EXPECT_FALSE(timer->isValid());
    EXPECT_EQ(e.vc().bannerTimer(), timer);

    // A key that changes later is not applied.
    UserDefaults::standard().setString("banner_key", "other");
    e.harness.advance(20);
    EXPECT_EQ(e.banner().loadCount(), 2u);
    EXPECT_EQ(e.banner().adUnitID(), std::optional<std::string>("late-key"));
}

TEST(BannerSlot, OnlyTheFirstBannerIsPlacedAndMakesRoom)
{
    SlotEditor e("unit-1");
    auto& vc = e.vc();
    auto root = vc.view();
    auto page = vc.optionsView()->textColorView();
    double contentBefore = page->contentSize().height;
    std::size_t viewsBefore = root->subviews().size();
    LogCapture log;

    vc.adViewDidReceiveAd(e.banner());
    EXPECT_EQ(log.lines(), std::vector<std::string>{"SUSSS"});
    EXPECT_TRUE(vc.isAdShown());
    ASSERT_EQ(root->subviews().size(), viewsBefore + 1);
    EXPECT_EQ(root->subviews().back(), vc.bannerView());
    double contentAfter = page->contentSize().height;
    EXPECT_GT(contentAfter, contentBefore);

    vc.adViewDidReceiveAd(e.banner());
    EXPECT_EQ(log.count("SUSSS"), 2u);
    EXPECT_EQ(root->subviews().size(), viewsBefore + 1);
    EXPECT_EQ(page->contentSize().height, contentAfter);
}

TEST(BannerSlot, SpansTheBottomEdgeOnEveryDevice)
{
    for (auto profile : {DeviceProfile::Phone, DeviceProfile::Tall, DeviceProfile::Tablet}) {
        SlotEditor e("k", profile);
        Rect view = e.vc().view()->frame();
        Rect banner = e.banner().frame();
        SCOPED_TRACE(profileInfo(profile).name);
        EXPECT_EQ(banner.maxY(), view.maxY());
        EXPECT_EQ(banner.width(), view.width());
        EXPECT_EQ(banner.midX(), view.midX());
        EXPECT_EQ(banner.height(), profile == DeviceProfile::Tablet ? 90 : 50);
    }
}

TEST(BannerSlot, RequestsCarryTheTestDevicesFromTheResourceWhenItIsAList)
{
    SlotEditor e("k");
    auto& bundle = Bundle::main();
    auto saved = bundle.resourceDir;
    bundle.resourceDir = e.harness.dataRoot().path();
    auto path = bundle.resourceDir / "AdsWhiteList.plist";

    EXPECT_EQ(e.vc().createRequest().testDevices(), std::nullopt);

    PlistValue list(PlistValue::Array{PlistValue("device-a"), PlistValue("device-b")});
    ASSERT_FALSE(writeFileAtomically(path, writePropertyList(list)));
    EXPECT_EQ(e.vc().createRequest().testDevices(), (std::vector<std::string>{"device-a", "device-b"}));

    ASSERT_FALSE(writeFileAtomically(path, writePropertyList(PlistValue(PlistValue::Dictionary{}))));
    EXPECT_EQ(e.vc().createRequest().testDevices(), std::nullopt);
    bundle.resourceDir = saved;
}

TEST(BannerSlot, TheFirstBannerFromTheAdServerIsShownAlongTheBottomAndLaterOnesOnlyLog)
{
    // A red picture of the phone's or the tablet's banner size for any unit.
    auto redPng = [](double w, double h) {
        auto v = View::create({0, 0, w, h});
        v->setBackgroundColor(Color::rgb255(255, 0, 0));
        auto png = renderView(*v, {w, h}, 2)->pngData();
        return std::string(png.begin(), png.end());
    };
    const std::string phonePng = redPng(320, 50), tabletPng = redPng(768, 90);
    test::LoopbackServer server;
    server.http().Get("/banner", [&](const httplib::Request& req, httplib::Response& res) {
        res.set_content(req.get_param_value("w") == "768" ? tabletPng : phonePng, "image/png");
    });
    for (auto profile : {DeviceProfile::Phone, DeviceProfile::Tablet}) {
        SlotEditor e("house", profile, server.url());
        SCOPED_TRACE(profileInfo(profile).name);
        auto& vc = e.vc();
        auto page = vc.optionsView()->textColorView();
        double contentBefore = page->contentSize().height;
        LogCapture log;
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return vc.isAdShown(); }, 20));
        EXPECT_EQ(log.count("SUSSS"), 1u);
        EXPECT_EQ(vc.view()->subviews().back(), vc.bannerView());
        Rect view = vc.view()->frame();
        Rect banner = e.banner().frame();
        EXPECT_EQ(banner.maxY(), view.maxY());
        EXPECT_EQ(banner.midX(), view.midX());
        EXPECT_EQ(page->contentSize().height, contentBefore + banner.height());
        Point centre = e.banner().convertRectTo(e.banner().bounds(), nullptr).center();
        EXPECT_TRUE(test::nearColor(e.harness.pixel(centre.x, centre.y), Color::rgb255(255, 0, 0)));

        // A minute on, the refresh arrives: one more line, nothing moves.
        e.harness.advance(60);
        ASSERT_TRUE(RunLoop::main().runUntil([&] { return log.count("SUSSS") == 2; }, 20));
        EXPECT_EQ(page->contentSize().height, contentBefore + banner.height());
        EXPECT_EQ(std::count(vc.view()->subviews().begin(), vc.view()->subviews().end(), vc.bannerView()), 1);
    }
}
