#include "PromoFixture.h"

#include "core/EventHub.h"
#include "core/Log.h"
#include "graphics/Screen.h"
#include "promotion/ads/AdGenerator.h"
#include "promotion/ads/WallAd.h"
#include "promotion/Gobals.h"
#include "promotion/InternalLinkHandler.h"
#include "promotion/PromotionUnit.h"
#include "promotion/ShownText.h"
#include "promotion/WebImageView.h"
#include "system/Application.h"
#include "system/Device.h"
#include "system/StoreProductPage.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/ScrollView.h"
#include "ui/Window.h"

#include <atomic>
#include <filesystem>

using namespace vq;
using namespace vq::test;

namespace {

std::string appId(int k) { return "7000" + std::to_string(k); }

class WallAdTest : public PromoFixture {
protected:
    // A wall of n apps; the ones whose scheme is installed are "app<k>".
    PlistValue wallList(int n)
    {
        PlistValue::Array items;
        for (int k = 0; k < n; ++k)
            items.push_back(dict({{"app_id", appId(k)},
                                  {"icon_lnk", "icon-" + std::to_string(k) + ".png"},
                                  {"link", server.url() + "/go/" + std::to_string(k)},
                                  {"scheme", "app" + std::to_string(k)},
                                  {"title", "App " + std::to_string(k)}}));
        return listWith(PlistValue(std::move(items)));
    }
    PlistValue listWith(PlistValue wall)
    {
        return dict({{"status", dict({{"code", 0}})},
                     {"base", dict({{"ad_type", "wall"}, {"base_url", server.url() + "/img/"}})},
                     {"wall", std::move(wall)}});
    }

    void setUpScreen(DeviceProfile profile, bool statusBarHidden)
    {
        PromoFixture::setUpScreen(profile, statusBarHidden);
        opened = EventHub::shared().subscribe<StorePageEvent>([this](const StorePageEvent& e) {
            if (e.state == "shown" || e.state == "failed")
                pages.push_back(e.id);
        });
    }

    std::shared_ptr<WallAd> makeWall(const PlistValue& list) { return makeAd<WallAd>(2, list); }
    // Shown, the drop-in and bounce over.
    std::shared_ptr<WallAd> showWall(const PlistValue& list)
    {
        auto ad = makeWall(list);
        ad->showAd();
        harness.advance(1);
        return ad;
    }

    static std::vector<std::shared_ptr<Button>> cells(const WallAd& ad)
    {
        std::vector<std::shared_ptr<Button>> out;
        for (const auto& v : ad.contentScrollView()->subviews())
            if (auto b = std::dynamic_pointer_cast<Button>(v))
                out.push_back(b);
        return out;
    }
    static int rowBackgrounds(const WallAd& ad)
    {
        int count = 0;
        for (const auto& v : ad.contentScrollView()->subviews())
            count += std::dynamic_pointer_cast<ImageView>(v) != nullptr;
        return count;
    }
    void tapView(const std::shared_ptr<View>& view)
    {
        Rect b = view->bounds();
        Point c = view->convertPointTo({b.x() + b.width() / 2, b.y() + b.height() / 2}, nullptr);
        harness.tap(c.x, c.y);
    }
    // Lets the link handler's visit and the reports come back.
    void drain()
    {
        settle();
        connectionsEnd();
    }

    std::vector<std::string> pages;
    Subscription opened;
};

struct Variant {
    DeviceProfile profile;
    bool statusBarHidden;
    Size card;
    Rect scroll;
    Rect icon;
    Rect get;
    double contentHeightFor20;
    int backgroundsFor20; // built at first: the rows within a page of the visible part
    std::size_t cellsFor20;
    Rect lastCellFor20;
    Rect badge;
};

class WallGeometry : public WallAdTest, public testing::WithParamInterface<Variant> {};

TEST_P(WallGeometry, CardGridAndRestingPlaceOnEachDevice)
{
    const Variant& v = GetParam();
    setUpScreen(v.profile, v.statusBarHidden);
    auto list = wallList(20);
    // One installed grid app, to see its badge.
    harness.app().setInstalledSchemes({"app5"});
    auto ad = showWall(list);

    Rect screen = Screen::main().bounds();
    Rect app = Screen::main().applicationFrame();
    EXPECT_EQ(ad->wallView()->frame(), (Rect{0, 0, app.width(), app.height() + 20}));
    EXPECT_EQ(ad->wallView()->tag(), 457260342);
    EXPECT_EQ(ad->maskView()->frame(), ad->wallView()->bounds());
    EXPECT_EQ(ad->wallContentView()->bounds().size, v.card);
    // The wall corrects for the status bar: it rests in the middle of the whole screen either way.
    EXPECT_EQ(ad->wallContentView()->center(), (Point{app.width() / 2, screen.height() / 2}));
    EXPECT_FLOAT_EQ(ad->maskView()->alpha(), 0.3f);

    EXPECT_EQ(ad->contentScrollView()->frame(), v.scroll);
    EXPECT_EQ(ad->appIcon()->frame(), v.icon);
    EXPECT_EQ(ad->getButton()->frame(), v.get);
    EXPECT_EQ(ad->contentScrollView()->contentSize(), (Size{v.scroll.width(), v.contentHeightFor20}));
    EXPECT_EQ(rowBackgrounds(*ad), v.backgroundsFor20);

    auto grid = cells(*ad);
    ASSERT_EQ(grid.size(), v.cellsFor20);
    EXPECT_EQ(grid[3]->tag(), 4);
    auto installed = grid[4];
    ASSERT_EQ(installed->tag(), 5);
    EXPECT_FALSE(installed->isEnabled());
    ASSERT_EQ(installed->subviews().size(), 3u); // name, icon, badge
    auto badge = std::dynamic_pointer_cast<ImageView>(installed->subviews().back());
    ASSERT_TRUE(badge);
    EXPECT_EQ(badge->frame(), v.badge);
    EXPECT_TRUE(grid[3]->isEnabled());
    EXPECT_EQ(grid[3]->subviews().size(), 2u);
    // Scrolled to the end, the last app's cell is there.
    Size content = ad->contentScrollView()->contentSize();
    ad->contentScrollView()->setContentOffset({0, content.height - v.scroll.height()});
    grid = cells(*ad);
    auto last = std::find_if(grid.begin(), grid.end(), [](const auto& c) { return c->tag() == 19; });
    ASSERT_NE(last, grid.end());
    EXPECT_EQ((*last)->frame(), v.lastCellFor20);

    // The card's stacking: background, grid, close, get, name, icon last.
    const auto& card = ad->wallContentView()->subviews();
    ASSERT_EQ(card.size(), 6u);
    EXPECT_EQ(card[1], ad->contentScrollView());
    EXPECT_EQ(card[4], ad->appName());
    EXPECT_EQ(card[5], ad->appIcon());
}

INSTANTIATE_TEST_SUITE_P(
    Devices, WallGeometry,
    testing::Values(
        Variant{DeviceProfile::Phone, false, {304, 400}, {11, 122, 282, 263}, {27, 26, 72, 72}, {155, 85, 109, 26},
                623, 6, 18, {0, 534, 95, 90}, {62, 5, 20, 20}},
        Variant{DeviceProfile::Phone, true, {304, 400}, {11, 122, 282, 263}, {27, 26, 72, 72}, {155, 85, 109, 26},
                623, 6, 18, {0, 534, 95, 90}, {62, 5, 20, 20}},
        // A tall phone's minimum is 4 rows; 19 apps need 7.
        Variant{DeviceProfile::Tall, false, {304, 486}, {11, 122, 282, 349}, {27, 26, 72, 72}, {155, 85, 109, 26},
                623, 8, 19, {0, 534, 95, 90}, {62, 5, 20, 20}},
        // Four columns: 19 apps fill 5 rows, the minimum, plus 10 points.
        Variant{DeviceProfile::Tablet, false, {534, 765}, {17, 159, 500, 587}, {51, 35, 100, 100},
                {300, 105, 174, 40}, 595, 6, 19, {252, 468, 126, 117}, {82, 7, 25, 25}},
        Variant{DeviceProfile::Tablet, true, {534, 765}, {17, 159, 500, 587}, {51, 35, 100, 100},
                {300, 105, 174, 40}, 595, 6, 19, {252, 468, 126, 117}, {82, 7, 25, 25}}),
    [](const auto& param) {
        return std::string(profileInfo(param.param.profile).name) +
               (param.param.statusBarHidden ? "WithoutStatusBar" : "WithStatusBar");
    });

TEST_F(WallAdTest, WallsOfOneEightAndTwentyAppsOnAPhone)
{
    setUpScreen(DeviceProfile::Phone, false);
    struct Case {
        int n;
        std::size_t cells;
        double contentHeight;
        int backgrounds;
        Rect lastCell;
    };
    // Cells and row backgrounds for the rows within a page of what shows (three rows).
    for (Case c : {Case{1, 0, 267, 4, {}}, Case{8, 7, 267, 4, {0, 178, 95, 90}}, Case{20, 18, 623, 6, {190, 445, 95, 90}},
                   // One past a full row starts a new one.
                   Case{11, 10, 356, 5, {0, 267, 95, 90}}}) {
        SCOPED_TRACE(c.n);
        auto ad = makeWall(wallList(c.n));
        EXPECT_EQ(ad->appName()->text(), "App 0");
        EXPECT_EQ(ad->appIcon()->link(), server.url() + "/img/icon-0.png");
        EXPECT_EQ(ad->contentScrollView()->contentSize().height, c.contentHeight);
        EXPECT_EQ(rowBackgrounds(*ad), c.backgrounds);
        auto grid = cells(*ad);
        ASSERT_EQ(grid.size(), c.cells);
        if (grid.empty())
            continue;
        EXPECT_EQ(grid.back()->frame(), c.lastCell);
        auto label = std::dynamic_pointer_cast<Label>(grid.back()->subviews().front());
        ASSERT_TRUE(label);
        EXPECT_EQ(label->text(), "App " + std::to_string(grid.size()));
    }
    // The background rows lie behind the cells, one pitch apart.
    auto ad = makeWall(wallList(8));
    const auto& views = ad->contentScrollView()->subviews();
    for (int i = 0; i < 4; ++i) {
        auto row = std::dynamic_pointer_cast<ImageView>(views[static_cast<std::size_t>(i)]);
        ASSERT_TRUE(row) << i;
        EXPECT_EQ(row->frame().y(), 89.0 * (3 - i)); // each was sent to the back in turn
    }
}

TEST_F(WallAdTest, AWallOfThousandsBuildsOnlyWhatNearsTheScreenAndReportsEveryInstalledApp)
{
    setUpScreen(DeviceProfile::Phone, false);
    // Shared with the handler, which may run after this test's body has returned.
    auto icons = std::make_shared<std::atomic<int>>(0);
    server.http().Get(R"(/img/.*)", [icons](const httplib::Request&, httplib::Response& res) {
        ++*icons;
        res.status = 404;
    });
    harness.app().setInstalledSchemes({"app3", "app19999"});
    auto ad = showWall(wallList(20000));
    EXPECT_LE(cells(*ad).size(), 18u);
    ASSERT_TRUE(waitFor("install", 1));
    EXPECT_EQ(seen("install")[0].param("list"), appId(3) + "," + appId(19999));

    // Down at the end: the cells there, none from the top, and only their icons asked for.
    Size content = ad->contentScrollView()->contentSize();
    ad->contentScrollView()->setContentOffset({0, content.height - ad->contentScrollView()->bounds().height()});
    auto grid = cells(*ad);
    EXPECT_LE(grid.size(), 21u);
    EXPECT_TRUE(ad->contentScrollView()->viewWithTag(19999));
    EXPECT_FALSE(ad->contentScrollView()->viewWithTag(5));
    drain();
    EXPECT_LE(*icons, 1 + 18 + 21);
}

TEST_F(WallAdTest, TapsReportTheClickThenOpenTheStorePage)
{
    setUpScreen(DeviceProfile::Phone, false);
    auto ad = showWall(wallList(5));
    EXPECT_EQ(recorder->shown, 1);
    ASSERT_TRUE(waitFor("display", 1));
    EXPECT_EQ(seen("display")[0].param("type"), "wall");
    EXPECT_EQ(seen("display")[0].param("id"), "");

    tapView(cells(*ad)[2]); // app 3
    ASSERT_TRUE(waitFor("click", 1));
    auto click = seen("click")[0];
    EXPECT_EQ(click.param("type"), "wall");
    EXPECT_EQ(click.param("id"), "");
    EXPECT_EQ(click.param("target"), appId(3));
    EXPECT_TRUE(Gobals::isAppStoreDisplaying());
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !pages.empty(); }, 20));
    EXPECT_EQ(pages.back(), appId(3));
    // The wall stays where it is; the unit would hide it.
    EXPECT_EQ(ad->wallView()->superview(), harness.app().keyWindow());
    auto page = std::dynamic_pointer_cast<StoreProductPage>(Gobals::rootViewForUIDisplay());
    ASSERT_TRUE(page);
    page->done();
    harness.advance(1);

    // The get button and the featured icon both lead to the first app.
    tapView(ad->getButton());
    ASSERT_TRUE(waitFor("click", 2));
    EXPECT_EQ(seen("click")[1].param("target"), appId(0));
    page = std::dynamic_pointer_cast<StoreProductPage>(Gobals::rootViewForUIDisplay());
    ASSERT_TRUE(page);
    page->done();
    harness.advance(1);
    tapView(ad->appIcon());
    ASSERT_TRUE(waitFor("click", 3));
    EXPECT_EQ(seen("click")[2].param("target"), appId(0));
    drain();
}

TEST_F(WallAdTest, InstalledGridAppsAreBadgedRefuseTapsAndAreReportedOncePerRun)
{
    setUpScreen(DeviceProfile::Phone, false);
    // The featured app is installed too: it is neither tested, badged nor reported.
    harness.app().setInstalledSchemes({"app0", "app2", "app4"});
    LogCapture log;
    auto ad = showWall(wallList(6));
    EXPECT_TRUE(log.contains("installed app list from wall ad : (\n    70002,\n    70004\n)"));
    ASSERT_TRUE(waitFor("install", 1));
    EXPECT_EQ(seen("install")[0].param("list"), "70002,70004");

    auto grid = cells(*ad);
    tapView(grid[1]); // app 2, installed
    tapView(ad->getButton()); // app 0 still opens
    ASSERT_TRUE(waitFor("click", 1));
    drain();
    ASSERT_EQ(seen("click").size(), 1u);
    EXPECT_EQ(seen("click")[0].param("target"), appId(0));
    ASSERT_EQ(pages.size(), 1u);

    // A second wall in the same run finds the same apps and sends nothing new.
    auto again = makeWall(wallList(6));
    EXPECT_FALSE(cells(*again)[1]->isEnabled());
    drain();
    EXPECT_EQ(seen("install").size(), 1u);
}

TEST_F(WallAdTest, DimmerWaitsForTheFirstDropThenHidesAndTheWallComesBackTheSame)
{
    setUpScreen(DeviceProfile::Phone, true);
    auto ad = makeWall(wallList(4));
    auto card = ad->wallContentView();
    EXPECT_EQ(card->center(), (Point{160, -250})); // parked above the screen
    LogCapture log;
    ad->showAd();
    EXPECT_TRUE(log.contains("is full screen 1, 250.000000"));
    EXPECT_TRUE(log.contains("wall ad show"));
    EXPECT_EQ(recorder->shown, 1); // told before the card lands

    harness.advance(0.3);
    harness.tap(160, 20); // the dimmed strip above the card
    EXPECT_EQ(recorder->hidden, 0);
    EXPECT_EQ(ad->wallView()->superview(), harness.app().keyWindow());
    harness.advance(0.04); // past 0.33 s
    EXPECT_EQ(card->center(), (Point{160, 240}));
    harness.tap(160, 20);
    EXPECT_EQ(recorder->hidden, 1); // told before the card leaves
    EXPECT_TRUE(ad->wallView()->superview());
    harness.advance(0.31);
    EXPECT_FALSE(ad->wallView()->superview());
    EXPECT_EQ(card->center(), (Point{160, -240}));

    // Shown again: the same card drops in from above, the dimmer already live.
    auto grid = cells(*ad);
    ad->showAd();
    EXPECT_EQ(cells(*ad), grid);
    harness.advance(0.1);
    harness.tap(160, 20);
    EXPECT_EQ(recorder->hidden, 2);
    harness.advance(1);

    // The close button hides it too; hiding what is not shown is harmless.
    ad->showAd();
    harness.advance(1);
    tapView(ad->closeButton());
    harness.advance(1);
    EXPECT_FALSE(ad->wallView()->superview());
    ad->hideAd();
    harness.advance(1);
    EXPECT_EQ(recorder->hidden, 4);
    ASSERT_TRUE(waitFor("display", 3));
}

TEST_F(WallAdTest, EmptyAndMalformedWallsShowWithoutOpeningAnything)
{
    setUpScreen(DeviceProfile::Phone, false);
    // A name a server made long is shown up to the cap.
    auto wordy = showWall(listWith(PlistValue(PlistValue::Array{dict({{"title", std::string(65536, 'W')}})})));
    EXPECT_EQ(wordy->appName()->text().size(), kMaxShownText);
    wordy->hideAd();
    harness.advance(1);

    // No items, no "wall", a "wall" that is not an array: the featured controls lead nowhere.
    for (auto list : {listWith(PlistValue(PlistValue::Array{})), listWith(PlistValue("apps")),
                      dict({{"base", dict({{"base_url", 7}})}})}) {
        auto ad = showWall(list);
        EXPECT_EQ(ad->appName()->text(), "");
        EXPECT_EQ(ad->appIcon()->link(), std::nullopt);
        EXPECT_TRUE(cells(*ad).empty());
        EXPECT_EQ(ad->contentScrollView()->contentSize().height, 267);
        tapView(ad->getButton());
        tapView(ad->appIcon());
        ad->handleClickAppWithTag(3);
        ad->handleClickAppWithTag(-1);
        ad->hideAd();
        harness.advance(1);
    }

    // Items that are not dictionaries, keys of the wrong type, icons that point upwards.
    harness.app().setInstalledSchemes({"app1"});
    PlistValue::Array items{
        dict({{"title", 5}, {"icon_lnk", "../../outside.png"}, {"app_id", 70000}, {"link", server.url() + "/go/0"}}),
        dict({{"scheme", "app1"}}), // installed, but no id to report
        PlistValue("not an app"),
        dict({{"scheme", PlistValue(PlistValue::Array{})}, {"title", PlistValue(PlistValue::Dictionary{})}}),
    };
    auto ad = showWall(listWith(PlistValue(std::move(items))));
    EXPECT_EQ(ad->appName()->text(), "5"); // a number shows as its decimal text
    EXPECT_EQ(ad->appIcon()->link(), server.url() + "/img/../../outside.png");
    auto grid = cells(*ad);
    ASSERT_EQ(grid.size(), 3u);
    EXPECT_FALSE(grid[0]->isEnabled());
    EXPECT_TRUE(grid[1]->isEnabled());
    drain();
    EXPECT_TRUE(seen("click").empty());
    EXPECT_TRUE(seen("install").empty());
    EXPECT_TRUE(pages.empty());
    EXPECT_FALSE(std::filesystem::exists(harness.dataRoot().path() / "outside.png"));

    // A number counts as the app's id; a cell with nothing behind it reports a click without a target.
    tapView(ad->getButton());
    ASSERT_TRUE(waitFor("click", 1));
    EXPECT_EQ(seen("click")[0].param("target"), "70000");
    auto page = std::dynamic_pointer_cast<StoreProductPage>(Gobals::rootViewForUIDisplay());
    ASSERT_TRUE(page);
    page->done();
    harness.advance(1);
    tapView(grid[1]);
    ASSERT_TRUE(waitFor("click", 2));
    EXPECT_EQ(seen("click")[1].param("target"), "");
    drain();
}

TEST_F(WallAdTest, InfoOpensTheWallAndTheStorePagesDoneBringsItBack)
{
    setUpScreen(DeviceProfile::Tablet, false);
    setList(wallList(9));
    auto unit = PromotionUnit::currentInstance();
    unit->showAdWithType(2);
    auto ad = std::dynamic_pointer_cast<WallAd>(unit->lastAd());
    ASSERT_TRUE(ad);
    EXPECT_EQ(ad->adType(), "wall");
    EXPECT_TRUE(unit->hasAdsShowed());
    harness.advance(1);

    tapView(cells(*ad)[0]);
    EXPECT_TRUE(Gobals::isAppStoreDisplaying());
    EXPECT_FALSE(unit->hasAdsShowed());
    harness.advance(1);
    EXPECT_FALSE(ad->wallView()->superview()); // hidden while the page is up

    auto page = std::dynamic_pointer_cast<StoreProductPage>(Gobals::rootViewForUIDisplay());
    ASSERT_TRUE(page);
    page->done();
    harness.advance(1);
    RunLoop::main().runPending();
    EXPECT_TRUE(unit->hasAdsShowed());
    EXPECT_EQ(unit->lastAd(), ad);
    EXPECT_EQ(ad->wallView()->superview(), harness.app().keyWindow());
    EXPECT_EQ(ad->wallContentView()->center(), (Point{384, 512}));
    ASSERT_TRUE(waitFor("display", 2));
    drain();
}

} // namespace
