#include "main/NamedScriptTargets.h"
#include "main/PromotionTargets.h"
#include "main/ScriptRunner.h"

#include "core/PropertyList.h"
#include "core/RunLoop.h"
#include "net/HttpRequest.h"
#include "net/RunQueue.h"
#include "net/UrlConnection.h"
#include "promotion/ads/AdGenerator.h"
#include "promotion/ads/BigAd.h"
#include "promotion/ads/WallAd.h"
#include "promotion/Gobals.h"
#include "promotion/InternalLinkHandler.h"
#include "promotion/ServerSettings.h"
#include "promotion/StoreConnection.h"
#include "support/Harness.h"
#include "support/LoopbackServer.h"
#include "system/Application.h"
#include "system/StoreProductPage.h"
#include "ui/View.h"
#include "ui/Window.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vq::test {
namespace {

class Hides : public AdDelegate {
public:
    void adDidHided(Ad&) override { ++hidden; }
    int hidden = 0;
};

class PromotionTargetsTest : public testing::Test {
protected:
    PromotionTargetsTest()
    {
        HttpRequest::setDefaultExecutor([](std::function<void()> task) { RunLoop::main().post(std::move(task)); });
        server.http().Get("/index.php", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(writePropertyList(PlistValue(PlistValue::Dictionary{})), "application/x-plist");
        });
        server.http().Get("/store/lookup", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(writePropertyList(PlistValue(PlistValue::Dictionary{{"name", "Quill Pro"}, {"seller", "Velvet Labs"}})),
                            "application/x-plist");
        });
        setPromotionServerBase(server.url());
        connectStorePages(server.url());
        harness.makeWindow();
        auto targets = NamedScriptTargets::create();
        addPromotionTargets(*targets);
        runner = std::make_unique<ScriptRunner>(targets, "ads.vqs", errors);
    }
    ~PromotionTargetsTest() override
    {
        RunLoop::main().runUntil(
            [] {
                return RunQueue::shared().runningCount() + RunQueue::shared().waitingCount() == 0 &&
                       UrlConnection::runningCount() == 0;
            },
            30);
        RunLoop::main().runPending();
    }

    int play(const std::string& text)
    {
        auto parsed = parseScript(text);
        auto* commands = std::get_if<std::vector<ScriptCommand>>(&parsed);
        EXPECT_TRUE(commands);
        return commands ? runner->run(*commands) : -1;
    }

    std::shared_ptr<BigAd> showBigAd()
    {
        auto ad = std::dynamic_pointer_cast<BigAd>(AdGenerator::adWithType(3));
        ad->setLinkHandler(InternalLinkHandler::create());
        ad->setDelegate(delegate);
        ad->setContentInfo(std::make_shared<PlistValue>(PlistValue::Dictionary{
            {"bigads", PlistValue(PlistValue::Dictionary{{"app_id", "42"}, {"target_lnk", server.url("/go/42")}})}}));
        ad->showAd();
        return ad;
    }

    Harness harness;
    LoopbackServer server;
    std::ostringstream errors;
    std::unique_ptr<ScriptRunner> runner;
    std::shared_ptr<Hides> delegate = std::make_shared<Hides>();
};

TEST_F(PromotionTargetsTest, TheDimmerTheCloseAndTheGetButtonOfTheOverlayInFront)
{
    EXPECT_EQ(play("tap ad-close\n"), ScriptRunner::kFailed);
    EXPECT_NE(errors.str().find("ad-close was not found"), std::string::npos) << errors.str();

    auto ad = showBigAd();
    // The dimmer's centre is under the card: the tap lands where it shows,
    // and only once the first drop is nearly over.
    ASSERT_EQ(play("wait 0.1\ntap ad-mask\nwait 1\n"), 0) << errors.str();
    EXPECT_EQ(delegate->hidden, 0);
    ASSERT_EQ(play("tap ad-mask\nwait 1\n"), 0) << errors.str();
    EXPECT_EQ(delegate->hidden, 1);
    EXPECT_FALSE(ad->bigView()->window());

    ad->showAd();
    ASSERT_EQ(play("wait 1\ntap ad-get\nsettle\n"), 0) << errors.str();
    EXPECT_TRUE(Gobals::isAppStoreDisplaying());
    EXPECT_EQ(delegate->hidden, 1);
    auto page = std::dynamic_pointer_cast<StoreProductPage>(Gobals::rootViewForUIDisplay());
    ASSERT_TRUE(page);
    page->done();
    ASSERT_EQ(play("wait 1\ntap ad-close\nwait 1\n"), 0) << errors.str();
    EXPECT_EQ(delegate->hidden, 2);
}

std::shared_ptr<WallAd> showWall(LoopbackServer& server, const std::shared_ptr<Hides>& delegate, int n)
{
    PlistValue::Array items;
    for (int k = 0; k < n; ++k)
        items.emplace_back(PlistValue::Dictionary{{"app_id", "7000" + std::to_string(k)},
                                                  {"link", server.url("/go/" + std::to_string(k))},
                                                  {"scheme", "app" + std::to_string(k)},
                                                  {"title", "App " + std::to_string(k)}});
    auto ad = std::dynamic_pointer_cast<WallAd>(AdGenerator::adWithType(2));
    ad->setLinkHandler(InternalLinkHandler::create());
    ad->setDelegate(delegate);
    ad->setContentInfo(std::make_shared<PlistValue>(PlistValue::Dictionary{
        {"base", PlistValue(PlistValue::Dictionary{{"ad_type", "wall"}})}, {"wall", PlistValue(std::move(items))}}));
    ad->showAd();
    return ad;
}

TEST_F(PromotionTargetsTest, ATapOnAnInstalledWallAppSaysItIsDisabled)
{
    harness.app().setInstalledSchemes({"app1"});
    auto ad = showWall(server, delegate, 3);
    EXPECT_EQ(play("wait 1\ntap tag 1 in 457260342\n"), ScriptRunner::kFailed);
    EXPECT_NE(errors.str().find("ads.vqs:2: tag 1 in 457260342 is disabled"), std::string::npos) << errors.str();
    EXPECT_FALSE(Gobals::isAppStoreDisplaying());
}

TEST_F(PromotionTargetsTest, AnAppFarDownALongWallIsScrolledToAsAUserWouldAndTapped)
{
    // Its cell is not built until its row nears the visible part.
    auto ad = showWall(server, delegate, 300);
    ASSERT_FALSE(ad->contentScrollView()->viewWithTag(250));
    ASSERT_EQ(play("wait 1\ntap tag 250 in 457260342\nsettle\n"), 0) << errors.str();
    EXPECT_TRUE(Gobals::isAppStoreDisplaying());
    EXPECT_GT(ad->contentScrollView()->contentOffset().y, 7000);
    EXPECT_EQ(play("tap tag 300 in 457260342\n"), ScriptRunner::kFailed);
    EXPECT_NE(errors.str().find("no view with tag 300 is shown inside the view tagged 457260342"), std::string::npos)
        << errors.str();
}

} // namespace
} // namespace vq::test
