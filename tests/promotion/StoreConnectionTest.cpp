#include "core/EventHub.h"
#include "core/Log.h"
#include "core/RunLoop.h"
#include "graphics/Image.h"
#include "graphics/PictureLoader.h"
#include "net/HttpRequest.h"
#include "net/RequestObserver.h"
#include "promotion/PropertyListLoad.h"
#include "promotion/ShownText.h"
#include "promotion/StoreConnection.h"
#include "support/Harness.h"
#include "support/HostileLists.h"
#include "support/LoopbackServer.h"
#include "system/StoreProductPage.h"
#include "ui/ImageView.h"
#include "ui/Label.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace vq;

namespace {

class StoreAndLoad : public testing::Test {
protected:
    void SetUp() override
    {
        HttpRequest::setDefaultExecutor([](std::function<void()> task) { RunLoop::main().post(std::move(task)); });
        auto& http = server.http();
        http.Get("/store/lookup", [this](const httplib::Request& req, httplib::Response& res) {
            ++lookups;
            auto id = req.get_param_value("id");
            if (id == "1")
                res.set_content(writePropertyList(PlistValue(PlistValue::Dictionary{
                                    {"name", "Quill Pro"}, {"seller", "Velvet Labs"}, {"icon", server.url("/icon.png")}})),
                                "application/x-plist");
            else if (id == "2")
                res.set_content(writePropertyList(PlistValue(PlistValue::Dictionary{}), PlistFormat::Binary),
                                "application/x-plist");
            else if (id == "3")
                res.set_content("not a list", "text/plain");
            else if (id == "5") // a hostile store: a name of a megabyte, an icon too large to hold
                res.set_content(writePropertyList(PlistValue(PlistValue::Dictionary{
                                    {"name", std::string(1 << 20, 'N')}, {"icon", server.url("/huge.png")}})),
                                "application/x-plist");
            else if (id == "6") // 450 bytes that stand for gigabytes
                res.set_content(test::sharedObjectBomb(30, "\x10\x07"), "application/x-plist");
            else
                res.status = 404;
        });
        http.Get("/icon.png", [](const httplib::Request&, httplib::Response& res) {
            auto png = Image::blank(8, 8, 1)->pngData();
            res.set_content(std::string(png.begin(), png.end()), "image/png");
        });
        http.Get("/huge.png", [this](const httplib::Request&, httplib::Response& res) {
            ++hugeIcons;
            auto png = Image::blank(4096, 4096, 1)->pngData();
            res.set_content(std::string(png.begin(), png.end()), "image/png");
        });
        http.Get("/list", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(writePropertyList(PlistValue(PlistValue::Dictionary{{"status", 1}}), PlistFormat::Binary),
                            "application/x-plist");
        });
        http.Get("/array", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(writePropertyList(PlistValue(PlistValue::Array{1, 2})), "application/x-plist");
        });
        http.Get("/huge-list", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(writePropertyList(PlistValue(PlistValue::Dictionary{{"pad", std::string(9 << 20, 'p')}})),
                            "application/x-plist");
        });
        http.Get("/garbage", [](const httplib::Request&, httplib::Response& res) { res.set_content("<plist", "text/xml"); });
        http.Get("/500", [](const httplib::Request&, httplib::Response& res) {
            res.status = 500;
            res.set_content(writePropertyList(PlistValue(PlistValue::Dictionary{{"status", 1}})), "application/x-plist");
        });
        connectStorePages(server.url("/"));
    }
    void TearDown() override { setRequestObserver(nullptr); }

    // Loads id on a fresh page and waits (in real time) for it to end.
    std::optional<std::string> load(const std::string& id, std::shared_ptr<StoreProductPage>& page)
    {
        page = StoreProductPage::create();
        page->view();
        std::optional<std::optional<std::string>> result;
        page->loadProduct(id, [&](bool, std::optional<std::string> error) { result = error; });
        EXPECT_TRUE(RunLoop::main().runUntil([&] { return result.has_value(); }, 30));
        return result.value_or("never ended");
    }

    test::Harness harness;
    test::LoopbackServer server;
    std::atomic<int> lookups{0};
    std::atomic<int> hugeIcons{0};
};

TEST_F(StoreAndLoad, AStorePageLoadsItsProductAndIconFromTheServer)
{
    std::shared_ptr<StoreProductPage> page;
    EXPECT_EQ(load("1", page), std::nullopt);
    EXPECT_EQ(page->nameLabel()->text(), "Quill Pro");
    EXPECT_EQ(page->sellerLabel()->text(), "Velvet Labs");
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return page->iconView()->image() != nullptr; }, 30));
    EXPECT_EQ(page->iconView()->image()->pixelWidth(), 8);

    // No product, a body that is no list, a status that is not 200: each a failure.
    EXPECT_TRUE(load("2", page));
    EXPECT_TRUE(load("3", page));
    EXPECT_TRUE(load("4", page));
    EXPECT_EQ(lookups, 4);
    EXPECT_TRUE(load("4x", page)); // refused before any lookup
    EXPECT_EQ(lookups, 4);

    // What a hostile store sends is held to the same bounds as the promotion list.
    EXPECT_EQ(load("5", page), std::nullopt);
    EXPECT_EQ(page->nameLabel()->text(), std::string(kMaxShownText, 'N'));
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return hugeIcons == 1 && PictureLoader::pendingCount() == 0; }, 30));
    EXPECT_FALSE(page->iconView()->image()) << "4096 x 4096 is over the pixel cap";
    EXPECT_EQ(load("6", page), "The store names no product for that identifier");
}

TEST_F(StoreAndLoad, TheBlockingLoadGivesADictionaryOrNothingAndRunsNoAppCodeMeanwhile)
{
    int warned = 0;
    auto heard = EventHub::shared().subscribe<MainThreadWillBlock>([&](const MainThreadWillBlock&) { ++warned; });
    bool ran = false;
    RunLoop::main().post([&] { ran = true; });
    auto timer = RunLoop::main().performAfter(0, [&] { ran = true; });
    std::vector<RequestEnded> ended;
    setRequestObserver([&](const RequestEnded& e) { ended.push_back(e); });

    auto list = loadPropertyListBlocking(server.url("/list"));
    ASSERT_TRUE(list);
    EXPECT_EQ(list->find("status")->integerValue(), 1);
    EXPECT_EQ(warned, 1); // told before it blocked
    EXPECT_FALSE(ran);
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].status, 200);

    LogCapture log;
    EXPECT_FALSE(loadPropertyListBlocking(server.url("/array")));
    EXPECT_FALSE(loadPropertyListBlocking(server.url("/garbage")));
    // As large as the lists fetched in the background may not be: refused, and said why.
    EXPECT_FALSE(loadPropertyListBlocking(server.url("/huge-list")));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{
                               "promotion list refused: the reply's root is not a dictionary",
                               "promotion list refused: the reply is not a property list",
                               "promotion list refused: the reply is 9437407 bytes, more than the 8388608 a list may be"}));
    EXPECT_FALSE(loadPropertyListBlocking(server.url("/500")));
    EXPECT_FALSE(loadPropertyListBlocking("http://127.0.0.1:1/list"));
    EXPECT_FALSE(ran);
    RunLoop::main().runPending();
    EXPECT_TRUE(ran);
}

} // namespace
