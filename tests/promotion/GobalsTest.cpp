#include "promotion/Gobals.h"

#include "core/Bundle.h"
#include "core/Log.h"
#include "core/StringAdditions.h"
#include "graphics/Image.h"
#include "system/Application.h"
#include "system/Device.h"
#include "ui/TextView.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

#include "support/Harness.h"
#include "support/ScopedTimeZone.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace vq;

namespace {

using TimeZone = vq::test::ScopedTimeZone;

class StorePage : public ViewController {
public:
    static std::shared_ptr<StorePage> create() { return std::shared_ptr<StorePage>(new StorePage()); }
    const char* className() const override { return "StoreProductPage"; }

protected:
    StorePage() = default;
};

} // namespace

TEST(GobalsTest, DeviceIdentifierAndItsTypeFollowTheSystemVersion)
{
    test::Harness harness;
    auto& device = Device::current();
    device.setLinkLevelAddress(std::array<std::uint8_t, 6>{0x10, 0x9a, 0xdd, 0x01, 0x02, 0x03});

    device.setSystemVersion("5.1");
    EXPECT_EQ(Gobals::deviceIdType(), "mac");
    EXPECT_EQ(Gobals::deviceId(), stringFromMD5("10:9A:DD:01:02:03"));

    // 6.0 itself already uses the advertising identifier, kept across calls.
    device.setSystemVersion("6.0");
    EXPECT_EQ(Gobals::deviceIdType(), "ad id");
    auto adId = Gobals::deviceId();
    ASSERT_TRUE(adId);
    EXPECT_EQ(adId->size(), 36u);
    EXPECT_EQ(Gobals::deviceId(), adId);

    // Below 6.0 without an address there is no identifier at all.
    device.setSystemVersion("5.9.9");
    device.setLinkLevelAddress(std::nullopt);
    testing::internal::CaptureStdout();
    EXPECT_EQ(Gobals::deviceId(), std::nullopt);
    testing::internal::GetCapturedStdout();
}

TEST(GobalsTest, SystemVersionIsItsLeadingNumber)
{
    EXPECT_FLOAT_EQ(Gobals::systemVersionFromString("6.1.3"), 6.1f);
    EXPECT_FLOAT_EQ(Gobals::systemVersionFromString("7"), 7.0f);
    EXPECT_FLOAT_EQ(Gobals::systemVersionFromString("5.1"), 5.1f);
    EXPECT_FLOAT_EQ(Gobals::systemVersionFromString("10.0b2"), 10.0f);
    EXPECT_FLOAT_EQ(Gobals::systemVersionFromString("beta"), 0.0f);
    EXPECT_FLOAT_EQ(Gobals::systemVersionFromString(""), 0.0f);
    // 5.99 stays below 6 after the single-precision reading.
    EXPECT_LT(Gobals::systemVersionFromString("5.99"), 6.0f);
    test::Harness harness;
    Device::current().setSystemVersion("6.1.3");
    EXPECT_EQ(fmt::format("{:f}", Gobals::systemVersion()), "6.100000");
}

TEST(GobalsTest, TimeZoneIsWholeHoursTowardZeroFromTZ)
{
    test::Harness harness;
    struct Case {
        const char* tz;
        int hours;
    };
    // POSIX TZ names the offset west of GMT, so "-5:30" is five and a half hours east.
    for (Case c : {Case{"IST-5:30", 5}, Case{"NPT-5:45", 5}, Case{"MART+9:30", -9}, Case{"NST+3:30", -3},
                   Case{"UTC0", 0}, Case{"CET-1", 1}, Case{"LINT-14", 14}, Case{"BIT+12", -12}}) {
        TimeZone zone(c.tz);
        EXPECT_EQ(Gobals::timezone(), c.hours) << c.tz;
    }
    EXPECT_EQ(Gobals::timezoneFromSeconds(-3599), 0);
    EXPECT_EQ(Gobals::timezoneFromSeconds(19800), 5);
}

TEST(GobalsTest, ModelAndVersionTexts)
{
    test::Harness harness(DeviceProfile::Tall);
    EXPECT_EQ(Gobals::deviceModel(), "iPhone 5");
    harness.app().setDeviceProfile(DeviceProfile::Phone);
    EXPECT_EQ(Gobals::deviceModel(), "iPhone 4S");
    EXPECT_EQ(Gobals::appVersion(), harness.app().bundle().shortVersion);
}

TEST(GobalsTest, EncodeUrlEscapesTheWholeTextOrRefusesWithOneLine)
{
    LogCapture logs;
    EXPECT_EQ(Gobals::encodeURL("http://127.0.0.1:8737/index.php?action=info&dv=iPhone 4S&tz=5"),
              "http://127.0.0.1:8737/index.php?action=info&dv=iPhone%204S&tz=5");
    EXPECT_EQ(Gobals::encodeURL("http://h/a%20b"), "http://h/a%2520b");
    EXPECT_TRUE(logs.lines().empty());
    EXPECT_EQ(Gobals::encodeURL("http://h/index.php?dv=\xe2\x98\x83"), std::nullopt);
    ASSERT_EQ(logs.lines().size(), 1u);
    EXPECT_NE(logs.lines()[0].find("http://h/index.php?dv="), std::string::npos);
}

TEST(GobalsTest, UrlPathsAreJoinedAsTheyStand)
{
    EXPECT_EQ(Gobals::fillURLPath("http://h/img", "/icon.png"), "http://h/img/icon.png");
    EXPECT_EQ(Gobals::fillURLPath("http://h/img/", "icon.png"), "http://h/img/icon.png");
    EXPECT_EQ(Gobals::fillURLPath(std::nullopt, "/icon.png"), "(null)/icon.png");
    EXPECT_EQ(Gobals::fillURLPaths("b", {"1", std::nullopt, ""}), (std::vector<std::string>{"b1", "b(null)", "b"}));
    EXPECT_TRUE(Gobals::fillURLPaths("b", {}).empty());
}

TEST(GobalsTest, TopControllerFollowsThePresentedChainToItsEnd)
{
    test::Harness harness;
    EXPECT_EQ(Gobals::rootViewForUIDisplay(), nullptr);
    EXPECT_FALSE(Gobals::isAppStoreDisplaying());

    auto root = ViewController::create();
    auto window = harness.makeWindow(root);
    EXPECT_EQ(Gobals::getCurrentRootViewController(), root);
    EXPECT_EQ(Gobals::rootViewForUIDisplay(), root);

    auto middle = ViewController::create();
    Gobals::presentControllerInFront(middle);
    harness.advance(1);
    EXPECT_EQ(Gobals::rootViewForUIDisplay(), middle);
    EXPECT_FALSE(Gobals::isAppStoreDisplaying());

    // A store page presented from a presented controller still counts.
    Gobals::presentControllerInFront(StorePage::create());
    harness.advance(1);
    EXPECT_TRUE(Gobals::isAppStoreDisplaying());
    EXPECT_EQ(Gobals::getCurrentRootViewController(), root);

    // An alert-level key window is passed over for the first normal one.
    auto alertWindow = Window::create(window->frame());
    alertWindow->setWindowLevel(WindowLevel::Alert);
    alertWindow->makeKeyAndVisible();
    EXPECT_EQ(Gobals::getCurrentRootViewController(), root);
    Gobals::presentControllerInFront(nullptr);
}

TEST(GobalsTest, KeyboardTestLooksAtTheSecondWindow)
{
    test::Harness harness;
    auto window = harness.makeWindow();
    EXPECT_FALSE(Gobals::isKeyboardVisible());
    auto text = TextView::create(Rect{10, 10, 200, 100});
    window->rootViewController()->view()->addSubview(text);
    text->becomeFirstResponder();
    harness.advance(1);
    ASSERT_GE(harness.app().windows().size(), 2u);
    EXPECT_TRUE(Gobals::isKeyboardVisible());
    EXPECT_EQ(Gobals::findFirstResponder(window), text);
    text->resignFirstResponder();
    harness.advance(1);
    EXPECT_FALSE(Gobals::isKeyboardVisible());
    EXPECT_EQ(Gobals::findFirstResponder(window), nullptr);
    EXPECT_EQ(Gobals::findFirstResponder(nullptr), nullptr);
}

TEST(GobalsTest, RootViewsGoOnTopOfTheKeyWindow)
{
    test::Harness harness;
    Gobals::addRootViewToWindow(View::create(Rect{0, 0, 1, 1})); // no key window: nothing
    auto window = harness.makeWindow();
    auto first = View::create(Rect{0, 0, 10, 10});
    auto second = View::create(Rect{0, 0, 10, 10});
    Gobals::addRootViewToWindow(first);
    Gobals::addRootViewToWindow(second);
    Gobals::addRootViewToWindow(nullptr);
    ASSERT_GE(window->subviews().size(), 2u);
    EXPECT_EQ(window->subviews().back(), second);
    Gobals::addRootViewToWindow(first);
    EXPECT_EQ(window->subviews().back(), first);
    EXPECT_FALSE(Gobals::isFullScreen());
    harness.app().setStatusBarHidden(true);
    EXPECT_TRUE(Gobals::isFullScreen());
}

TEST(GobalsTest, ImagesComeFromTheAdArtworkFolder)
{
    test::Harness harness;
    EXPECT_EQ(Gobals::imageWithFileName(std::nullopt), nullptr);
    EXPECT_EQ(Gobals::imageWithFileName(""), nullptr);
    EXPECT_EQ(Gobals::imageWithFileName("no-such-picture"), nullptr);

    // A picture in the folder is found by its plain name, with no device suffix added.
    auto& bundle = Bundle::main();
    auto savedResources = bundle.resourceDir;
    test::TempDir resources;
    std::filesystem::create_directories(resources / "ad-img");
    ASSERT_EQ(Image::blank(56, 56, 2)->writePng(resources / "ad-img" / "ad-close@2x.png"), std::nullopt);
    bundle.resourceDir = resources.path();
    Image::clearNamedCache();
    auto image = Gobals::imageWithFileName("ad-close");
    auto tablet = Gobals::imageWithFileName("ad-close-ipad");
    bundle.resourceDir = savedResources;
    Image::clearNamedCache();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size().width, 28);
    EXPECT_EQ(tablet, nullptr);
}
