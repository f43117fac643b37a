#include "core/EventHub.h"
#include "core/RunLoop.h"
#include "graphics/Image.h"
#include "support/Harness.h"
#include "system/Device.h"
#include "system/StoreProductPage.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/ViewController.h"

#include <gtest/gtest.h>

using namespace vq;

namespace {

// A store the test answers by hand.
struct FakeStore {
    std::vector<std::string> asked;
    std::function<void(std::optional<StoreProduct>, std::string)> answer;
    std::vector<std::string> images;
    std::function<void(std::shared_ptr<Image>)> image;

    StoreProductPage::Store store()
    {
        return {[this](const std::string& id, auto done) {
                    asked.push_back(id);
                    answer = std::move(done);
                },
                [this](const std::string& url, auto done) {
                    images.push_back(url);
                    image = std::move(done);
                }};
    }
};

class Finisher : public StoreProductPageDelegate {
public:
    void productViewControllerDidFinish(StoreProductPage&) override { ++finished; }
    int finished = 0;
};

class StorePage : public testing::Test {
protected:
    void SetUp() override
    {
        StoreProductPage::setStore(fake.store());
        root = ViewController::create();
        harness.makeWindow(root);
        root->presentViewController(page, false);
    }

    // Loads id, recording the completions.
    void load(const std::string& id)
    {
        page->loadProduct(id, [this](bool loaded, std::optional<std::string> error) {
            results.emplace_back(loaded, error);
        });
    }

    test::Harness harness;
    FakeStore fake;
    std::shared_ptr<ViewController> root;
    std::shared_ptr<StoreProductPage> page = StoreProductPage::create();
    std::vector<std::pair<bool, std::optional<std::string>>> results;
    std::vector<StorePageEvent> events;
    Subscription heard = EventHub::shared().subscribe<StorePageEvent>([this](const StorePageEvent& e) { events.push_back(e); });
};

TEST_F(StorePage, ShowsTheProductItLooksUpAndThenItsIcon)
{
    load("284417350");
    EXPECT_EQ(fake.asked, std::vector<std::string>{"284417350"});
    EXPECT_TRUE(page->isLoading());
    EXPECT_EQ(StoreProductPage::loadingCount(), 1u);
    EXPECT_TRUE(results.empty());

    fake.answer(StoreProduct{"Quill Pro", "Velvet Apps", "http://x/img/icon.png"}, "");
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(results[0].first);
    EXPECT_FALSE(results[0].second);
    EXPECT_EQ(StoreProductPage::loadingCount(), 0u);
    EXPECT_EQ(page->nameLabel()->text(), "Quill Pro");
    EXPECT_EQ(page->sellerLabel()->text(), "Velvet Apps");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].id, "284417350");
    EXPECT_EQ(events[0].state, "shown");

    EXPECT_EQ(fake.images, std::vector<std::string>{"http://x/img/icon.png"});
    EXPECT_EQ(page->iconView()->image(), nullptr);
    auto icon = Image::blank(4, 4, 2);
    fake.image(icon);
    EXPECT_EQ(page->iconView()->image(), icon);

    // The deadline was dropped with the load: nothing fails it later.
    harness.advance(StoreProductPage::loadTimeOut + 1);
    EXPECT_EQ(results.size(), 1u);
    EXPECT_EQ(events.size(), 1u);
}

TEST_F(StorePage, AnIdentifierThatIsNotDecimalDigitsFailsWithoutALookup)
{
    for (const char* id : {"", "12a", "-12", " 12", "0x1F", "１２"}) {
        results.clear();
        load(id);
        EXPECT_TRUE(results.empty()) << id; // never inside the call
        RunLoop::main().runPending();
        ASSERT_EQ(results.size(), 1u) << id;
        EXPECT_FALSE(results[0].first);
        EXPECT_TRUE(results[0].second);
    }
    EXPECT_TRUE(fake.asked.empty());
    EXPECT_EQ(StoreProductPage::loadingCount(), 0u);
    EXPECT_EQ(events.back().state, "failed");
}

TEST_F(StorePage, ALookupWithoutAProductFails)
{
    load("7");
    fake.answer(std::nullopt, "No product has that identifier");
    ASSERT_EQ(results.size(), 1u);
    EXPECT_FALSE(results[0].first);
    EXPECT_EQ(results[0].second, "No product has that identifier");
    EXPECT_EQ(page->nameLabel()->text(), "");
    EXPECT_TRUE(fake.images.empty());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].state, "failed");
}

TEST_F(StorePage, ALookupThatNeverAnswersFailsAfterTenSecondsAndALateAnswerIsIgnored)
{
    load("7");
    harness.advance(StoreProductPage::loadTimeOut - 0.5);
    EXPECT_TRUE(results.empty());
    harness.advance(0.5);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_FALSE(results[0].first);
    EXPECT_EQ(StoreProductPage::loadingCount(), 0u);

    fake.answer(StoreProduct{"Late", "", std::nullopt}, "");
    EXPECT_EQ(results.size(), 1u);
    EXPECT_EQ(page->nameLabel()->text(), "");
    EXPECT_EQ(events.size(), 1u);
}

TEST_F(StorePage, DoneTellsTheDelegateAndAPageGoneMidLoadIsNoLongerCounted)
{
    auto finisher = std::make_shared<Finisher>();
    page->setDelegate(finisher);
    load("7");
    fake.answer(StoreProduct{"Quill", "", std::nullopt}, "");
    auto done = page->doneButton();
    ASSERT_TRUE(done);
    ASSERT_FALSE(done->isHidden());
    // The window fills the screen, so its points are the screen's.
    auto centre = done->convertPointTo(done->bounds().center(), nullptr);
    harness.tap(centre.x, centre.y);
    EXPECT_EQ(finisher->finished, 1);
    EXPECT_EQ(events.back().state, "done");

    auto other = StoreProductPage::create();
    other->loadProduct("8", [](bool, std::optional<std::string>) { FAIL() << "a page that is gone answers"; });
    EXPECT_EQ(StoreProductPage::loadingCount(), 1u);
    other.reset();
    EXPECT_EQ(StoreProductPage::loadingCount(), 0u);
    fake.answer(StoreProduct{"Late", "", std::nullopt}, "");
    harness.advance(StoreProductPage::loadTimeOut + 1);
}

TEST(StorePageAvailability, ExistsFromSystemVersionSix)
{
    test::Harness harness;
    for (auto [version, available] : {std::pair{"5.1", false}, {"5.1.1", false}, {"6.0", true}, {"6", true},
                                      {"7.0", true}, {"10.0", true}}) {
        Device::current().setSystemVersion(version);
        EXPECT_EQ(StoreProductPage::isAvailable(), available) << version;
    }
}

} // namespace
