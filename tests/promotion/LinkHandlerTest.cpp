#include "PromoFixture.h"

#include "core/EventHub.h"
#include "core/Log.h"
#include "promotion/ExternalLinkHandler.h"
#include "promotion/Gobals.h"
#include "promotion/InternalLinkHandler.h"
#include "system/Application.h"
#include "system/Device.h"
#include "system/StoreProductPage.h"

#include <BuildSettings.h>

#include <atomic>

using namespace vq;
using namespace vq::test;

namespace {

TEST(LinkHandlerIds, StoreIdentifierExtraction)
{
    const std::string host = build::kStoreWebHost;
    for (auto get : {&InternalLinkHandler::getIDFromString, &ExternalLinkHandler::getIDFromString}) {
        EXPECT_EQ(get("http://" + host + "/app/some-name/id123?mt=8"), "123");
        EXPECT_EQ(get("http://" + host + "/app/idea-maker/id123"), "ea-maker");
        EXPECT_EQ(get("http://" + host + "/app/name?id123"), std::nullopt);
        EXPECT_EQ(get("https://" + std::string("STORE.VelvetQuill.TEST") + "/app/x/id9"), "9"); // host ignoring case
        EXPECT_EQ(get("http://example.com/go?id123"), "123");
        EXPECT_EQ(get("http://example.com/go?id=123"), "=123");
        EXPECT_EQ(get("http://example.com/go?id1?id2"), "1");
        EXPECT_EQ(get("http://example.com/app/id5"), std::nullopt);
        EXPECT_EQ(get(std::nullopt), std::nullopt);
        EXPECT_EQ(get(""), std::nullopt);
    }
}

class Delegate : public LinkHandlerDelegate {
public:
    void internalAppStoreWillAppear() override { ++appeared; }
    void internalAppStoreWillDisappear() override { ++disappeared; }
    int appeared = 0;
    int disappeared = 0;
};

class LinkHandlerTest : public PromoFixture {
protected:
    LinkHandlerTest()
    {
        harness.makeWindow();
        server.http().Get(R"(/go/(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
            ++visits;
            res.set_redirect(std::string("http://") + storeHost + "/app/id" + req.matches[1].str() + "?mt=8", 302);
        });
        server.http().Get("/escaped", [this](const httplib::Request&, httplib::Response& res) {
            ++visits;
            res.set_redirect(std::string("http://") + storeHost + "/app/sk%C3%A9tch%20pad?mt=8", 302);
        });
        server.http().Get("/hop", [this](const httplib::Request&, httplib::Response& res) {
            ++visits;
            res.set_redirect(server.url("/landing"), 302);
        });
        server.http().Get("/landing", [](const httplib::Request&, httplib::Response& res) { res.set_content("hi", "text/plain"); });
        server.http().Get("/loop", [this](const httplib::Request&, httplib::Response& res) {
            ++visits;
            res.set_redirect(server.url("/loop"), 302);
        });
        opened = EventHub::shared().subscribe<URLOpened>([this](const URLOpened& e) { urls.push_back(e.url); });
    }

    std::shared_ptr<StoreProductPage> page() const
    {
        return std::dynamic_pointer_cast<StoreProductPage>(Gobals::rootViewForUIDisplay());
    }

    static constexpr const char* storeHost = build::kStoreWebHost;
    std::vector<std::string> urls;
    Subscription opened;
};

TEST_F(LinkHandlerTest, TheExternalVisitStopsAtTheStoreHostAndShowsItsPage)
{
    auto handler = ExternalLinkHandler::create();
    LogCapture log;
    handler->handleLink(server.url("/go/77"));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return page() != nullptr; }, 20));
    std::string store = std::string("http://") + storeHost + "/app/id77?mt=8";
    EXPECT_EQ(handler->lastRequestURL(), store);
    EXPECT_FALSE(handler->iTunesURL()); // cleared once handled
    EXPECT_TRUE(log.contains("handle external link " + store + ", apple id 77"));
    EXPECT_EQ(visits, 1);
    EXPECT_TRUE(urls.empty());

    // With a page up, a further store link does nothing at all.
    handler->handleLink(store, "77");
    EXPECT_TRUE(urls.empty());
    page()->done();
    harness.advance(1);
    EXPECT_FALSE(Gobals::isAppStoreDisplaying());
}

TEST_F(LinkHandlerTest, AStoreAddressWithoutAnIdentifierOpensAsItWasReached)
{
    auto handler = ExternalLinkHandler::create();
    handler->handleLink(server.url("/escaped"));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !urls.empty(); }, 20));
    // Its escapes stay as they are, not escaped once more.
    EXPECT_EQ(urls, std::vector<std::string>{std::string("http://") + storeHost + "/app/sk%C3%A9tch%20pad?mt=8"});
    EXPECT_FALSE(Gobals::isAppStoreDisplaying());
}

TEST_F(LinkHandlerTest, ALinkThatNeverReachesTheStoreOpensAtItsFinalAddress)
{
    auto handler = ExternalLinkHandler::create();
    handler->handleLink(server.url("/hop"));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !urls.empty(); }, 20));
    EXPECT_EQ(urls, std::vector<std::string>{server.url("/landing")});
    EXPECT_FALSE(Gobals::isAppStoreDisplaying());

    // Other schemes go straight to the platform; a redirect loop opens nothing.
    handler->handleLink("quillpro://open?x=1 2");
    EXPECT_EQ(urls.back(), "quillpro://open?x=1%202");
    urls.clear();
    handler->handleLink(server.url("/loop"));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return visits >= 21; }, 30));
    settle(0.5);
    EXPECT_TRUE(urls.empty());
    // Not a URL at all: nothing, and no crash.
    handler->handleLink("not a url");
    handler->handleLink(std::nullopt);
    EXPECT_TRUE(urls.empty());
    EXPECT_TRUE(connectionsEnd());
}

TEST_F(LinkHandlerTest, ExternalHandlerOpensTheLinkWithoutAnIdentifierOrBeforeSix)
{
    auto handler = ExternalLinkHandler::create();
    handler->handleLink("http://example.com/a b", std::nullopt);
    EXPECT_EQ(urls, std::vector<std::string>{"http://example.com/a%20b"});
    Device::current().setSystemVersion("5.1");
    handler->handleLink("http://example.com/x", "5");
    EXPECT_EQ(urls.back(), "http://example.com/x");
    EXPECT_FALSE(Gobals::isAppStoreDisplaying());
}

TEST_F(LinkHandlerTest, TheInternalHandlerShowsThePageVisitsTheLinkAndTellsItsDelegate)
{
    auto handler = InternalLinkHandler::create();
    auto delegate = std::make_shared<Delegate>();
    handler->setDelegate(delegate);
    LogCapture log;
    handler->handleLink(server.url("/go/5"), "5");
    EXPECT_EQ(delegate->appeared, 1);
    ASSERT_TRUE(page());
    // Every redirect is followed and logged, the store's unresolvable host included.
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return log.contains(std::string("request url http://") + storeHost + "/app/id5?mt=8"); }, 20));
    EXPECT_TRUE(log.contains("request url " + server.url("/go/5")));
    EXPECT_TRUE(log.contains("handle internal link " + server.url("/go/5") + ", apple id 5"));
    EXPECT_TRUE(urls.empty());

    page()->done();
    EXPECT_EQ(delegate->disappeared, 0); // once the page has gone
    harness.advance(1);
    EXPECT_EQ(delegate->disappeared, 1);
    EXPECT_FALSE(Gobals::isAppStoreDisplaying());
    EXPECT_TRUE(connectionsEnd());
}

TEST_F(LinkHandlerTest, AnInternalLinkWithoutAnIdentifierIsOpenedAndTellsNobody)
{
    auto handler = InternalLinkHandler::create();
    auto delegate = std::make_shared<Delegate>();
    handler->setDelegate(delegate);
    handler->handleLink("quillpro://open", "");
    handler->handleLink("quillpro://open", std::nullopt);
    EXPECT_EQ(urls, (std::vector<std::string>{"quillpro://open", "quillpro://open"}));
    EXPECT_EQ(delegate->appeared, 0);
    EXPECT_FALSE(Gobals::isAppStoreDisplaying());
}

TEST_F(LinkHandlerTest, AProductThatCannotLoadShowsTheUhOhAlert)
{
    auto handler = InternalLinkHandler::create();
    handler->handleLink("quillpro://open", "not-digits");
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !AlertView::visibleAlerts().empty(); }, 20));
    auto alert = AlertView::visibleAlerts().front();
    EXPECT_EQ(alert->title(), "Uh oh!");
    EXPECT_EQ(alert->message(), "There was a problem displaying the app");
    EXPECT_EQ(alert->buttonTitleAtIndex(0), "Ok");
    EXPECT_TRUE(Gobals::isAppStoreDisplaying());
    EXPECT_TRUE(connectionsEnd());
}

} // namespace
