#include "PromoFixture.h"

#include "core/Log.h"
#include "graphics/Image.h"
#include "graphics/TextLayout.h"
#include "promotion/ads/AdGenerator.h"
#include "promotion/ads/RewardAd.h"
#include "promotion/ads/RewardCell.h"
#include "promotion/Gobals.h"
#include "promotion/InternalLinkHandler.h"
#include "promotion/PromotionUnit.h"
#include "promotion/ShownText.h"
#include "promotion/WebImageView.h"
#include "system/Application.h"
#include "system/Device.h"
#include "system/StoreProductPage.h"
#include "ui/ActivityIndicator.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/ProgressView.h"
#include "ui/TableView.h"
#include "ui/Window.h"

#include <fmt/format.h>

#include <chrono>
#include <thread>

using namespace vq;
using namespace vq::test;

namespace {

PlistValue rewardItem(int n)
{
    return dict({{"app_id", fmt::format("6812{}", n)},
                 {"content", fmt::format("About app {}", n)},
                 {"earn", fmt::format("{}", 5 * n)},
                 {"icon_lnk", fmt::format("icon-{}.png", n)},
                 {"id", fmt::format("rw-{}", n)},
                 {"scheme", fmt::format("app{}", n)},
                 {"target_lnk", fmt::format("http://127.0.0.1:1/go/{}", n)},
                 {"title", fmt::format("App {}", n)}});
}

PlistValue rewardList(PlistValue::Array items, PlistValue::Dictionary base = {})
{
    base.try_emplace("ad_type", "reward");
    base.try_emplace("base_url", "http://127.0.0.1:1/img/");
    base.try_emplace("current_point", 12);
    base.try_emplace("unlock_point", 50);
    base.try_emplace("reward_desc", "Earn %s credits");
    return dict({{"status", dict({{"code", 0}})}, {"base", dict(std::move(base))}, {"reward", std::move(items)}});
}

PlistValue::Array items(int n)
{
    PlistValue::Array out;
    for (int i = 0; i < n; ++i)
        out.push_back(rewardItem(i));
    return out;
}

class RewardAdTest : public PromoFixture {
protected:
    void start(DeviceProfile profile, const PlistValue& list, bool statusBarHidden = false)
    {
        setUpScreen(profile, statusBarHidden);
        ad = makeAd<RewardAd>(4, list);
    }
    std::shared_ptr<TableView> table(int tag) const
    {
        return std::dynamic_pointer_cast<TableView>(ad->view()->viewWithTag(tag));
    }
    std::shared_ptr<RewardCell> cell(int tag, int row) const
    {
        auto t = table(tag);
        return t ? std::dynamic_pointer_cast<RewardCell>(t->cellForRowAtIndexPath({0, row})) : nullptr;
    }
    // A real tap at the centre of a view on screen.
    void tap(const std::shared_ptr<View>& view)
    {
        Rect b = view->bounds();
        Point c = view->convertPointTo({b.x() + b.width() / 2, b.y() + b.height() / 2}, nullptr);
        harness.tap(c.x, c.y);
    }
    // A real tap at a point of the page.
    void tapPage(Point p)
    {
        Point c = ad->view()->convertPointTo(p, nullptr);
        harness.tap(c.x, c.y);
    }
    void showFully()
    {
        ad->showAd();
        harness.advance(0.5);
        ad->view()->layoutIfNeeded();
    }

    std::shared_ptr<RewardAd> ad;
};

TEST(RewardDescriptionTest, ServerTextIsNeverReadAsAFormat)
{
    EXPECT_EQ(RewardAd::rewardDescription("Earn %s credits", 50), "Earn 50 credits");
    EXPECT_EQ(RewardAd::rewardDescription("%s, yes %s", 7), "7, yes 7");
    // Every other sequence stays as written, a trailing "%" too.
    EXPECT_EQ(RewardAd::rewardDescription("100% free %d %@ %n %x %%s %", 50), "100% free %d %@ %n %x %%s %");
    EXPECT_EQ(RewardAd::rewardDescription("", 50), "");
    // No description: the built-in sentence, with the target in it.
    auto fallback = RewardAd::rewardDescription(std::nullopt, 50);
    EXPECT_NE(fallback.find("50"), std::string::npos) << fallback;
    EXPECT_EQ(fallback.find('%'), std::string::npos) << fallback;
}

TEST_F(RewardAdTest, BuildsThePhonePageBelowTheScreenAndSlidesItUpAndDown)
{
    start(DeviceProfile::Phone, rewardList(items(3), {{"reward_desc", "Get %s: %d%% off %@"}}));
    auto root = ad->view();
    ASSERT_TRUE(root);
    EXPECT_EQ(root->tag(), 457260342);
    EXPECT_EQ(root->frame(), (Rect{0, 460, 320, 460}));
    EXPECT_EQ(ad->unlockDetail()->text(), "Get 50: %d%% off %@");
    EXPECT_EQ(ad->rewardTitle()->text(), "Free Rewards");
    EXPECT_EQ(ad->earnPercent()->text(), "12/50");
    EXPECT_EQ(table(101)->frame(), (Rect{0, 137, 320, 323}));
    EXPECT_FALSE(table(102));
    EXPECT_TRUE(table(101)->backgroundView());
    // The mask and the card lie over everything, the card on top.
    const auto& order = root->subviews();
    ASSERT_GE(order.size(), 2u);
    EXPECT_EQ(order[order.size() - 2], ad->helpMaskView());
    EXPECT_EQ(order.back(), ad->helpView());

    ad->showAd();
    EXPECT_EQ(root->window(), harness.app().keyWindow());
    EXPECT_EQ(root->frame(), (Rect{0, 20, 320, 460}));
    EXPECT_EQ(recorder->shown, 1);
    ASSERT_TRUE(waitFor("display", 1));
    EXPECT_EQ(seen("display")[0].param("type"), "reward");

    ad->hideAd();
    EXPECT_EQ(recorder->hidden, 1);
    EXPECT_EQ(root->frame(), (Rect{0, 460, 320, 460}));
    harness.advance(0.29);
    EXPECT_TRUE(root->window()) << "still sliding";
    harness.advance(0.02);
    EXPECT_FALSE(root->window());

    // Shown again while the slide down runs: the page stays up.
    ad->showAd();
    ad->hideAd();
    ad->showAd();
    harness.advance(1);
    EXPECT_TRUE(root->window());
    EXPECT_EQ(root->frame(), (Rect{0, 20, 320, 460}));

    // Let go of while it slides down (the wall replaces it): the page goes with it.
    ad->hideAd();
    harness.advance(0.1);
    ad.reset();
    EXPECT_FALSE(root->window());
}

TEST_F(RewardAdTest, WithoutTheStatusBarThePageSlidesFullyBelowTheScreen)
{
    start(DeviceProfile::Tall, rewardList(items(2)), true);
    EXPECT_EQ(ad->view()->frame(), (Rect{0, 568, 320, 568}));
    ad->showAd();
    EXPECT_EQ(ad->view()->frame(), (Rect{0, 0, 320, 588}));
    ad->hideAd();
    EXPECT_EQ(ad->view()->frame(), (Rect{0, 588, 320, 588}));
    // Harmless when not on screen.
    harness.advance(1);
    ad->hideAd();
    EXPECT_EQ(recorder->hidden, 2);
}

TEST_F(RewardAdTest, TheBarFillsInStepsToJustAboveTheShareAndThenStops)
{
    start(DeviceProfile::Phone, rewardList(items(1), {{"current_point", 12}}));
    auto bar = ad->earnProgress();
    EXPECT_FLOAT_EQ(bar->progress(), 0) << "the fill starts from empty";
    EXPECT_TRUE(ad->isProgressTimerRunning());
    harness.advance(0.015);
    EXPECT_NEAR(bar->progress(), 0.01, 1e-4);
    harness.advance(0.015 * 4);
    EXPECT_NEAR(bar->progress(), 0.05, 1e-4);
    harness.advance(2);
    EXPECT_GT(bar->progress(), 0.24f);
    EXPECT_LT(bar->progress(), 0.2601f);
    EXPECT_FALSE(ad->isProgressTimerRunning());
    float rest = bar->progress();
    harness.advance(2);
    EXPECT_EQ(bar->progress(), rest);
}

TEST_F(RewardAdTest, NoCreditsStartNoTimerAndAFullBarStopsForGood)
{
    start(DeviceProfile::Phone, rewardList(items(1), {{"current_point", 0}}));
    EXPECT_EQ(ad->earnPercent()->text(), "0/50");
    EXPECT_FALSE(ad->isProgressTimerRunning());
    harness.advance(1);
    EXPECT_FLOAT_EQ(ad->earnProgress()->progress(), 0);

    // More credits than the target: the bar fills up, and the timer ends there.
    auto before = RunLoop::main().pendingTimerCount();
    auto full = RewardAd::create();
    full->setContentInfo(std::make_shared<PlistValue>(rewardList(items(1), {{"current_point", 80}})));
    EXPECT_EQ(full->earnPercent()->text(), "80/50");
    harness.advance(3);
    EXPECT_FLOAT_EQ(full->earnProgress()->progress(), 1);
    EXPECT_FALSE(full->isProgressTimerRunning());
    EXPECT_EQ(RunLoop::main().pendingTimerCount(), before);
}

TEST_F(RewardAdTest, APresenterThatGoesAwayMidFillLeavesNoTimer)
{
    start(DeviceProfile::Phone, rewardList(items(1)));
    auto before = RunLoop::main().pendingTimerCount();
    auto other = RewardAd::create();
    other->setContentInfo(std::make_shared<PlistValue>(rewardList(items(1), {{"current_point", 40}})));
    EXPECT_EQ(RunLoop::main().pendingTimerCount(), before + 1);
    harness.advance(0.1);
    auto bar = other->earnProgress();
    float reached = bar->progress();
    EXPECT_GT(reached, 0);
    other.reset();
    EXPECT_EQ(RunLoop::main().pendingTimerCount(), before);
    harness.advance(1);
    EXPECT_EQ(bar->progress(), reached);
}

TEST_F(RewardAdTest, BadCreditFiguresFallBackWithoutDividing)
{
    struct Case {
        PlistValue current, target;
        const char* text;
        float progress;
    };
    const Case cases[] = {
        {12, 0, "12/0", 0},         // no target: empty bar
        {12, -5, "12/-5", 0},       // shown as given; a negative target fills nothing
        {-3, 50, "-3/50", 0},       // nor do negative credits
        {-3, -50, "-3/-50", 0},
        {70, 50, "70/50", 1},       // past the target: a full bar
        {"x", "y", "0/0", 0},       // not numbers
        {PlistValue::Array{}, 9, "0/9", 0},
        {PlistValue(std::int64_t{1} << 40), 50, "2147483647/50", 1}, // beyond an int
        {PlistValue(-(std::int64_t{1} << 40)), 50, "-2147483648/50", 0},
    };
    start(DeviceProfile::Phone, rewardList(items(1)));
    for (const auto& c : cases) {
        auto probe = RewardAd::create();
        probe->setContentInfo(
            std::make_shared<PlistValue>(rewardList(items(1), {{"current_point", c.current}, {"unlock_point", c.target}})));
        harness.advance(3);
        EXPECT_EQ(probe->earnPercent()->text(), c.text);
        EXPECT_FLOAT_EQ(probe->earnProgress()->progress(), c.progress) << c.text;
        EXPECT_FALSE(probe->isProgressTimerRunning()) << c.text;
    }
    // Missing figures and description.
    auto bare = RewardAd::create();
    bare->setContentInfo(std::make_shared<PlistValue>(dict({{"reward", PlistValue::Array{}}})));
    EXPECT_EQ(bare->earnPercent()->text(), "0/0");
    EXPECT_EQ(bare->unlockDetail()->text(), RewardAd::rewardDescription(std::nullopt, 0));
}

TEST_F(RewardAdTest, TheTabletsTwoTablesShareTheItemsTurnAbout)
{
    start(DeviceProfile::Tablet, rewardList(items(5)));
    auto left = table(101), right = table(102);
    ASSERT_TRUE(left && right);
    EXPECT_EQ(left->frame(), (Rect{0, 215, 375, 1004 - 215}));
    EXPECT_EQ(right->frame(), (Rect{392, 215, 375, 1004 - 215}));
    EXPECT_FALSE(left->backgroundView());
    EXPECT_EQ(ad->view()->viewWithTag(457260342), ad->view());
    showFully();
    ASSERT_EQ(left->numberOfRowsInSection(0), 3);
    ASSERT_EQ(right->numberOfRowsInSection(0), 2);
    EXPECT_EQ(left->rectForRowAtIndexPath({0, 1}).height(), 110);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(cell(101, row)->appName()->text(), fmt::format("App {}", 2 * row));
    for (int row = 0; row < 2; ++row)
        EXPECT_EQ(cell(102, row)->appName()->text(), fmt::format("App {}", 2 * row + 1));
    EXPECT_EQ(cell(102, 1)->rewardPoint()->titleForState(ControlState::Normal), "+15");
    EXPECT_EQ(cell(102, 1)->appIcon()->link(), "http://127.0.0.1:1/img/icon-3.png");

    // The second row of the right table is item 3.
    tap(cell(102, 1)->appDetail());
    ASSERT_TRUE(waitFor("click", 1));
    EXPECT_EQ(seen("click")[0].param("type"), "reward");
    EXPECT_EQ(seen("click")[0].param("id"), "rw-3");
    EXPECT_EQ(seen("click")[0].param("target"), "68123");
    EXPECT_FALSE(left->indexPathForSelectedRow());
    EXPECT_FALSE(right->indexPathForSelectedRow()) << "the row is deselected";

    // Its credits button does the same for its own item.
    auto page = std::dynamic_pointer_cast<StoreProductPage>(Gobals::rootViewForUIDisplay());
    if (page) {
        page->done();
        harness.advance(1);
    }
    tap(cell(101, 2)->rewardPoint());
    ASSERT_TRUE(waitFor("click", 2));
    EXPECT_EQ(seen("click")[1].param("id"), "rw-4");
    EXPECT_TRUE(connectionsEnd());
}

TEST_F(RewardAdTest, InstalledRowsRefuseTapsAndAReusedRowLosesTheInstalledLook)
{
    harness.app().setInstalledSchemes({"app0", "app1"});
    start(DeviceProfile::Phone, rewardList(items(20)));
    showFully();
    // Both installed apps, and only they, are reported.
    ASSERT_TRUE(waitFor("install", 1));
    EXPECT_EQ(seen("install")[0].param("list"), "68120,68121");
    // A second wall in the same run reports them no more.
    RewardAd::create()->setContentInfo(std::make_shared<PlistValue>(rewardList(items(20))));
    settle();
    EXPECT_EQ(seen("install").size(), 1u);

    auto installed = cell(101, 0);
    ASSERT_TRUE(installed);
    EXPECT_TRUE(installed->installed());
    EXPECT_EQ(installed->rewardPoint()->titleForState(ControlState::Normal), "Installed");
    EXPECT_FALSE(installed->rewardPoint()->isEnabled());
    EXPECT_TRUE(installed->rewardPointDescription()->isHidden());
    EXPECT_EQ(installed->rewardPoint()->frame(), (Rect{258, 20, 57, 30}));

    LogCapture log;
    tap(installed->appDetail());
    harness.advance(1);
    EXPECT_TRUE(log.contains("已安装的应用，不响应点击"));
    settle();
    EXPECT_TRUE(seen("click").empty());

    // Scrolled down two rows, the rows made for the installed apps come back for others.
    table(101)->setContentOffset({0, 160});
    int reused = 0;
    for (auto& visible : table(101)->visibleCells()) {
        auto row = std::dynamic_pointer_cast<RewardCell>(visible);
        ASSERT_TRUE(row);
        reused += row == installed;
        EXPECT_FALSE(row->installed());
        EXPECT_TRUE(row->rewardPoint()->isEnabled());
        EXPECT_FALSE(row->rewardPointDescription()->isHidden());
        EXPECT_EQ(row->rewardPoint()->frame(), (Rect{258, 15, 57, 30}));
        EXPECT_EQ(row->rewardPoint()->titleColorForState(ControlState::Normal), Color::whiteColor());
        EXPECT_NE(row->rewardPoint()->titleForState(ControlState::Normal), "Installed");
    }
    EXPECT_EQ(reused, 1) << "the installed row was reused";
}

TEST_F(RewardAdTest, TheInstalledTitleShowsWholeInItsButtonOnPhoneAndTablet)
{
    for (auto profile : {DeviceProfile::Phone, DeviceProfile::Tablet}) {
        SCOPED_TRACE(static_cast<int>(profile));
        Device::current().setProfile(profile);
        auto row = RewardCell::create(TableViewCellStyle::Default, "Cell");
        auto button = row->rewardPoint();
        for (bool installed : {true, false}) {
            row->setInstalled(installed);
            std::string title = installed ? "Installed" : "+100";
            button->setTitle(title, ControlState::Normal);
            // The button cuts a title wider than itself at the end.
            EXPECT_LE(TextLayout(title, button->titleFont()).size().width, button->bounds().width()) << title;
            EXPECT_EQ(button->titleFont().pointSize(), profile == DeviceProfile::Tablet ? (installed ? 18 : 26)
                                                                                        : (installed ? 12 : 18));
        }
    }
}

TEST_F(RewardAdTest, AReusedRowNeverShowsThePreviousAppsIcon)
{
    server.http().Get("/img/slow.png", [](const httplib::Request&, httplib::Response& res) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        auto data = Image::blank(8, 8, 1)->pngData();
        res.set_content(std::string(data.begin(), data.end()), "image/png");
    });
    harness.makeWindow();
    auto row = RewardCell::create(TableViewCellStyle::Default, "Cell");
    row->appIcon()->setLink(server.url("/img/slow.png"));
    row->appIcon()->startDownloading();
    // The spinner starts with the request, which may first wait for the network library.
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return row->appIcon()->loadingView()->isAnimating(); }, 20));

    // Taken for an app without an icon while the download runs.
    row->prepareForReuse();
    row->appIcon()->setLink(std::nullopt);
    row->appIcon()->startDownloading();
    settle(1);
    EXPECT_FALSE(row->appIcon()->image());
    EXPECT_FALSE(row->appIcon()->loadingView()->isAnimating());
}

TEST_F(RewardAdTest, TheHelpCardOpensOverADimmerAndClosesFromEither)
{
    start(DeviceProfile::Phone, rewardList(items(2)));
    showFully();
    EXPECT_EQ(ad->helpView()->frame(), (Rect{-3, 30, 326, 400}));
    tap(ad->helpButton());
    EXPECT_FLOAT_EQ(ad->helpMaskView()->alpha(), 0.5f);
    EXPECT_FLOAT_EQ(ad->helpView()->alpha(), 1);
    EXPECT_EQ(ad->helpView()->transform(), AffineTransform::identity());
    EXPECT_LT(ad->helpView()->presentationAlpha(), 0.1f) << "it grows in";
    harness.advance(0.5);
    tapPage({160, 445}); // the dimmer below the card
    EXPECT_FLOAT_EQ(ad->helpMaskView()->alpha(), 0);
    EXPECT_FLOAT_EQ(ad->helpView()->alpha(), 0);
    EXPECT_EQ(ad->helpView()->transform(), AffineTransform::makeScale(0.1, 0.1));
    harness.advance(0.5);

    tap(ad->helpButton());
    harness.advance(0.5);
    tap(ad->helpCloseButton());
    EXPECT_FLOAT_EQ(ad->helpView()->alpha(), 0);
    harness.advance(0.5);
    // Closed, the card lets taps through to the page again.
    tap(ad->backButton());
    EXPECT_EQ(recorder->hidden, 1);
}

TEST_F(RewardAdTest, BadItemsShowWhatTheyHaveAndOpenNothingBroken)
{
    PlistValue::Array odd{
        "not a dictionary",
        dict({}),
        dict({{"title", 42}, {"earn", 7}, {"app_id", 6812}, {"id", dict({})}, {"scheme", 5}, {"icon_lnk", PlistValue::Array{}}}),
        dict({{"title", std::string(65536, 'W')}, {"content", std::string(1 << 20, 'c')}}),
    };
    start(DeviceProfile::Phone, rewardList(std::move(odd)));
    showFully();
    ASSERT_EQ(table(101)->numberOfRowsInSection(0), 4);
    // Texts a server made long are shown up to the cap.
    EXPECT_EQ(cell(101, 3)->appName()->text().size(), kMaxShownText);
    EXPECT_EQ(cell(101, 3)->appDetail()->text().size(), kMaxShownText);
    EXPECT_EQ(cell(101, 0)->appName()->text(), "");
    EXPECT_EQ(cell(101, 0)->rewardPoint()->titleForState(ControlState::Normal), "+0");
    EXPECT_FALSE(cell(101, 0)->appIcon()->link());
    EXPECT_EQ(cell(101, 2)->appName()->text(), "42");
    EXPECT_EQ(cell(101, 2)->rewardPoint()->titleForState(ControlState::Normal), "+7");

    tap(cell(101, 2)->appName());
    ASSERT_TRUE(waitFor("click", 1));
    EXPECT_EQ(seen("click")[0].param("target"), "6812");
    EXPECT_EQ(seen("click")[0].param("id"), "");
    ad->handleClickApp(-1);
    ad->handleClickApp(4);
    settle();
    EXPECT_EQ(seen("click").size(), 1u);

    // An empty list, or one that is not an array, makes an empty page.
    for (PlistValue rewards : {PlistValue(PlistValue::Array{}), PlistValue("six"), PlistValue(dict({{"a", 1}}))}) {
        auto empty = RewardAd::create();
        empty->setContentInfo(std::make_shared<PlistValue>(rewardList({}, {})));
        auto list = rewardList({});
        list.dictionary()->at("reward") = rewards;
        empty->setContentInfo(std::make_shared<PlistValue>(list));
        auto t = std::dynamic_pointer_cast<TableView>(empty->view()->viewWithTag(101));
        EXPECT_EQ(t->numberOfRowsInSection(0), 0);
    }
}

TEST_F(RewardAdTest, TheStorePagesDoneBringsTheRewardWallBack)
{
    Device::current().setProfile(DeviceProfile::Phone);
    harness.makeWindow();
    auto list = rewardList(items(2));
    setList(list);
    auto unit = PromotionUnit::defaultInstance("111");
    unit->becomeActived();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return unit->request() && unit->request()->isFinished(); }, 20));
    RunLoop::main().runPending();
    auto wall = std::dynamic_pointer_cast<RewardAd>(unit->lastAd());
    ASSERT_TRUE(wall);
    harness.advance(0.5);
    ASSERT_TRUE(wall->view()->window());

    wall->handleClickApp(1);
    EXPECT_TRUE(Gobals::isAppStoreDisplaying());
    harness.advance(0.5);
    EXPECT_FALSE(wall->view()->window()) << "hidden under the store page";

    auto page = std::dynamic_pointer_cast<StoreProductPage>(Gobals::rootViewForUIDisplay());
    ASSERT_TRUE(page);
    page->done();
    harness.advance(1);
    RunLoop::main().runPending();
    EXPECT_TRUE(wall->view()->window());
    EXPECT_EQ(wall->view()->frame(), (Rect{0, 20, 320, 460}));
    EXPECT_TRUE(waitFor("display", 2));
    EXPECT_TRUE(connectionsEnd());
}

} // namespace
