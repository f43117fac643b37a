#include "PromoFixture.h"

#include "core/Log.h"
#include "graphics/Image.h"
#include "graphics/Screen.h"
#include "promotion/ads/AdGenerator.h"
#include "promotion/ads/AdOverlay.h"
#include "promotion/ads/BigAd.h"
#include "promotion/Gobals.h"
#include "promotion/InternalLinkHandler.h"
#include "promotion/PromotionUnit.h"
#include "promotion/Reportor.h"
#include "promotion/ShownText.h"
#include "promotion/WebImageView.h"
#include "system/Application.h"
#include "system/Device.h"
#include "system/StoreProductPage.h"
#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/Window.h"

using namespace vq;
using namespace vq::test;

namespace {

PlistValue bigList(PlistValue::Dictionary bigads, const std::string& baseUrl)
{
    return dict({{"status", dict({{"code", 0}})},
                 {"base", dict({{"ad_type", "bigads"}, {"base_url", baseUrl}})},
                 {"bigads", dict(std::move(bigads))}});
}

PlistValue::Dictionary quillPro()
{
    return {{"title", "Quill Pro"},
            {"content", "Every font you wanted, and a few more"},
            {"iphone_4_ad_link", "/pics/pro-4.png"},
            {"iphone_5_ad_link", "/pics/pro-5.png"},
            {"ipad_ad_link", "/pics/pro-ipad.png"},
            {"scheme", "quillpro"},
            {"app_id", "5550001"},
            {"id", "b9"},
            {"target_lnk", "http://127.0.0.1:1/go/5550001"}};
}

Point screenCentre(const std::shared_ptr<View>& view)
{
    Rect b = view->bounds();
    return view->convertPointTo({b.x() + b.width() / 2, b.y() + b.height() / 2}, nullptr);
}

class BigAdTest : public PromoFixture {
protected:
    BigAdTest()
    {
        harness.app().setStatusBarHidden(false);
        harness.makeWindow();
        server.http().Get(R"(/pics/.*)", [this](const httplib::Request& req, httplib::Response& res) {
            ++visits;
            std::lock_guard lock(mutex);
            pictures.push_back(req.path);
            auto png = Image::blank(40, 30, 1)->pngData();
            res.set_content(std::string(png.begin(), png.end()), "image/png");
        });
    }

    std::shared_ptr<BigAd> makeBigAd(const PlistValue& list) { return makeAd<BigAd>(3, list, 1); }

    std::vector<std::string> pictures;
};

TEST_F(BigAdTest, ShowsTheCardReportsTheDisplayBeforeItLandsAndTheDimmerWaitsForTheFirstDrop)
{
    auto ad = makeBigAd(bigList(quillPro(), server.url()));
    EXPECT_EQ(ad->adType(), "bigads");
    EXPECT_FALSE(ad->allowAdStatus());
    EXPECT_EQ(ad->bigTitle()->text(), "Quill Pro");
    EXPECT_EQ(ad->bigDetail()->text(), "Every font you wanted, and a few more");
    EXPECT_EQ(ad->bigImageView()->link(), server.url("/pics/pro-4.png"));
    EXPECT_FALSE(ad->bigView()->window());

    double cardYAtShow = 0;
    recorder = std::make_shared<AdRecorder>([&] { cardYAtShow = ad->bigContentView()->presentationCenter().y; });
    ad->setDelegate(recorder);
    LogCapture log;
    ad->showAd();
    EXPECT_TRUE(log.contains("big ads show"));
    EXPECT_EQ(recorder->shown, 1);
    EXPECT_LT(cardYAtShow, 0); // told while the card is still above the screen
    EXPECT_EQ(ad->bigView()->window(), harness.app().keyWindow());
    EXPECT_EQ(ad->bigView()->tag(), AdOverlay::kRootTag);
    ASSERT_TRUE(waitFor("display", 1));
    EXPECT_EQ(seen("display")[0].param("type"), "bigads");
    EXPECT_EQ(seen("display")[0].param("id"), "b9");

    harness.advance(0.3);
    harness.tap(10, 10); // 0.30 s: the dimmer is not live yet
    EXPECT_EQ(recorder->hidden, 0);
    harness.advance(0.04);
    harness.tap(10, 10);
    EXPECT_EQ(recorder->hidden, 1);
    harness.advance(0.35);
    EXPECT_FALSE(ad->bigView()->window());

    // Shown again it drops in from above, and the dimmer reacts at once.
    ad->showAd();
    harness.advance(0.05);
    EXPECT_LT(ad->bigContentView()->presentationCenter().y, 240);
    harness.tap(10, 30);
    EXPECT_EQ(recorder->hidden, 2);
    ASSERT_TRUE(waitFor("display", 2));
}

TEST_F(BigAdTest, CloseAndGetButtonsHideOrOpenTheStorePageWithAClick)
{
    auto ad = makeBigAd(bigList(quillPro(), server.url()));
    ad->showAd();
    harness.advance(1);
    auto get = ad->overlay()->getButton();
    ASSERT_TRUE(get);
    Point p = screenCentre(get);
    harness.tap(p.x, p.y);
    EXPECT_TRUE(Gobals::isAppStoreDisplaying());
    ASSERT_TRUE(waitFor("click", 1));
    EXPECT_EQ(seen("click")[0].param("type"), "bigads");
    EXPECT_EQ(seen("click")[0].param("id"), "b9");
    EXPECT_EQ(seen("click")[0].param("target"), "5550001");
    EXPECT_EQ(recorder->hidden, 0); // the ad itself stays

    auto page = std::dynamic_pointer_cast<StoreProductPage>(Gobals::rootViewForUIDisplay());
    ASSERT_TRUE(page);
    page->done();
    harness.advance(1);
    EXPECT_TRUE(connectionsEnd());

    auto close = ad->overlay()->closeButton();
    p = screenCentre(close);
    harness.tap(p.x, p.y);
    EXPECT_EQ(recorder->hidden, 1);
    harness.advance(1);
    EXPECT_FALSE(ad->bigView()->window());
}

TEST_F(BigAdTest, AnInstalledAppIsReportedEachTimeAndNeverShown)
{
    harness.app().setInstalledSchemes({"quillpro"});
    auto ad = makeBigAd(bigList(quillPro(), server.url()));
    LogCapture log;
    ad->showAd();
    ad->showAd();
    EXPECT_EQ(log.count("big ads[scheme quillpro], 已安装，内部弹出方式，不显示该广告"), 2u);
    EXPECT_FALSE(log.contains("big ads show"));
    EXPECT_FALSE(ad->bigView()->window());
    EXPECT_EQ(recorder->shown, 0);
    ASSERT_TRUE(waitFor("install", 1));
    settle();
    EXPECT_EQ(seen("install").size(), 1u); // the reporter drops the repeat
    EXPECT_EQ(Reportor::instance()->reportedInstalledAppList(), std::vector<std::string>{"5550001"});
    EXPECT_TRUE(seen("display").empty());
}

TEST_F(BigAdTest, ThroughTheUnitTheStorePagesDoneLeavesTheBigAdHidden)
{
    setList(bigList(quillPro(), server.url()));
    auto unit = PromotionUnit::defaultInstance("111");
    unit->becomeActived();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return unit->request()->isFinished(); }, 20));
    RunLoop::main().runPending();
    auto ad = std::dynamic_pointer_cast<BigAd>(unit->lastAd());
    ASSERT_TRUE(ad);
    harness.advance(1);
    EXPECT_TRUE(ad->bigView()->window());

    ad->downloadApp();
    harness.advance(1);
    EXPECT_FALSE(ad->bigView()->window()); // hidden while the page is up
    auto page = std::dynamic_pointer_cast<StoreProductPage>(Gobals::rootViewForUIDisplay());
    ASSERT_TRUE(page);
    page->done();
    harness.advance(1);
    RunLoop::main().runPending();
    EXPECT_FALSE(ad->bigView()->window());
    EXPECT_TRUE(connectionsEnd());
}

TEST_F(BigAdTest, BadListsShowTheCardWithEmptyPartsAndNumbersPassAsIdentifiers)
{
    // "bigads" is not a section at all.
    auto list = bigList({}, server.url());
    list.dictionary()->at("bigads") = PlistValue("bigads");
    auto ad = makeBigAd(list);
    ad->showAd();
    harness.advance(1);
    EXPECT_TRUE(ad->bigView()->window());
    EXPECT_EQ(ad->bigTitle()->text(), "");
    EXPECT_FALSE(ad->bigImageView()->link());
    ad->downloadApp();
    ad->hideAd();
    harness.advance(1);
    // The two clicks race on separate connections; the second is read by its place.
    ASSERT_TRUE(waitFor("click", 1));

    // Keys of the wrong type; identifiers given as numbers.
    auto wrong = quillPro();
    wrong["title"] = PlistValue(PlistValue::Array{PlistValue("x")});
    wrong["content"] = 12;
    wrong["scheme"] = 3;
    wrong["app_id"] = 5550002;
    wrong["id"] = 77;
    wrong["iphone_4_ad_link"] = PlistValue(PlistValue::Dictionary{});
    auto typed = makeBigAd(bigList(wrong, server.url()));
    EXPECT_EQ(typed->bigTitle()->text(), "");
    EXPECT_EQ(typed->bigDetail()->text(), "");
    typed->showAd();
    typed->downloadApp();
    ASSERT_TRUE(waitFor("click", 2));
    auto clicks = seen("click");
    EXPECT_EQ(clicks[1].param("id"), "77");
    EXPECT_EQ(clicks[1].param("target"), "5550002");
    EXPECT_TRUE(connectionsEnd());

    // No list at all: nothing visible, yet the show is told and reported.
    auto bare = std::dynamic_pointer_cast<BigAd>(AdGenerator::adWithType(3));
    bare->setContentInfo(nullptr);
    bare->setDelegate(recorder);
    int before = recorder->shown;
    bare->showAd();
    bare->hideAd();
    EXPECT_EQ(recorder->shown, before + 1);
    EXPECT_FALSE(bare->bigView());
    settle();
    EXPECT_TRUE(pictures.empty());

    // Texts a server made long are shown up to the cap.
    auto wordy = quillPro();
    wordy["title"] = std::string(65536, 'W');
    wordy["content"] = std::string(1 << 20, 'c');
    auto verbose = makeBigAd(bigList(wordy, server.url()));
    EXPECT_EQ(verbose->bigTitle()->text().size(), kMaxShownText);
    EXPECT_EQ(verbose->bigDetail()->text().size(), kMaxShownText);
}

TEST_F(BigAdTest, APictureThatFailsLeavesTheRestOfTheCard)
{
    auto info = quillPro();
    info["iphone_4_ad_link"] = "/missing/pro-4.png";
    auto ad = makeBigAd(bigList(info, server.url()));
    ad->showAd();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return ad->bigImageView()->request()->isFinished(); }, 20));
    RunLoop::main().runPending();
    harness.advance(1);
    EXPECT_FALSE(ad->bigImageView()->image());
    EXPECT_EQ(ad->bigTitle()->text(), "Quill Pro");
    EXPECT_TRUE(ad->bigView()->window());
}

// Each device variant with the status bar shown and hidden.
struct Variant {
    DeviceProfile profile;
    Size card;
    Rect picture;
    Point titleCentre;
    Rect get;
    Rect close;
    std::string pictureFile;
};

class BigAdGeometryTest : public testing::TestWithParam<Variant> {};

TEST_P(BigAdGeometryTest, CardPartsAndWhereTheCardComesToRest)
{
    const Variant& v = GetParam();
    for (bool statusBarHidden : {false, true}) {
        Harness harness(v.profile);
        LoopbackServer server;
        server.http().Get(R"(/.*)", [](const httplib::Request&, httplib::Response& res) { res.status = 404; });
        setPromotionServerBase(server.url());
        HttpRequest::setDefaultExecutor([](std::function<void()> task) { RunLoop::main().post(std::move(task)); });
        harness.app().setStatusBarHidden(statusBarHidden);
        harness.makeWindow();
        Rect app = Screen::main().applicationFrame();

        auto ad = std::dynamic_pointer_cast<BigAd>(AdGenerator::adWithType(3));
        ad->setContentInfo(std::make_shared<PlistValue>(bigList(quillPro(), server.url())));
        auto card = ad->bigContentView();
        EXPECT_EQ(ad->bigView()->frame(), (Rect{0, 0, app.width(), app.height() + 20}));
        EXPECT_EQ(ad->maskView()->frame(), ad->bigView()->bounds());
        EXPECT_EQ(card->bounds().size, v.card);
        EXPECT_EQ(card->center().y, -(app.height() + 20) / 2);
        EXPECT_EQ(ad->bigImageView()->frame(), v.picture);
        EXPECT_EQ(ad->bigTitle()->center(), v.titleCentre);
        EXPECT_EQ(ad->overlay()->getButton()->frame(), v.get);
        EXPECT_EQ(ad->overlay()->closeButton()->frame(), v.close);
        EXPECT_EQ(ad->bigImageView()->link(), server.url(v.pictureFile));
        // Stacking: dimmer under the card; in the card the get button on top.
        EXPECT_EQ(ad->bigView()->subviews().back(), card);
        EXPECT_EQ(card->subviews().back(), ad->overlay()->getButton());
        EXPECT_EQ(card->subviews()[1], ad->overlay()->closeButton());

        ad->showAd();
        harness.advance(1);
        // The root's middle: the screen's with the status bar, 10 points lower without.
        double screenMiddle = Screen::main().bounds().height() / 2;
        EXPECT_EQ(card->center().y, screenMiddle + (statusBarHidden ? 10 : 0)) << statusBarHidden;
        EXPECT_EQ(card->center().x, app.width() / 2);
        ad->hideAd();
        harness.advance(1);
        RunLoop::main().runUntil([] { return RunQueue::shared().runningCount() == 0; }, 20);
        RunLoop::main().runPending();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Variants, BigAdGeometryTest,
    testing::Values(Variant{DeviceProfile::Phone, {304, 400}, {12, 41.5, 280, 257}, {160, 25}, {97.5, 352, 109, 26},
                            {-5, -5, 28, 28}, "/pics/pro-4.png"},
                    Variant{DeviceProfile::Tall, {304, 486}, {12, 42.5, 280, 341}, {160, 25}, {97.5, 437, 109, 26},
                            {-5, -5, 28, 28}, "/pics/pro-5.png"},
                    Variant{DeviceProfile::Tablet, {534, 765}, {16.5, 66, 501, 541}, {267, 38}, {180, 690, 174, 40},
                            {-10, -10, 51, 51}, "/pics/pro-ipad.png"}),
    [](const auto& param) { return std::string(profileInfo(param.param.profile).name); });

} // namespace
