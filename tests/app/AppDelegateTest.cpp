#include "EditorFixture.h"
#include "support/LoopbackServer.h"

#include "core/EventHub.h"
#include "core/Log.h"
#include "core/RunLoop.h"
#include "core/UserDefaults.h"
#include "net/HttpRequest.h"

#include <gtest/gtest.h>

#include <cctype>
#include <mutex>
#include <set>
#include <vector>

using namespace vq;
using vq::test::Editor;

namespace {
// The activation's list fetch fails here (nothing listens on the server's port) whenever its reply comes in.
std::vector<std::string> withoutFetch(const std::vector<std::string>& lines)
{
    std::vector<std::string> kept;
    for (const auto& line : lines)
        if (line.rfind("get promotion list failed ", 0) != 0)
            kept.push_back(line);
    return kept;
}
} // namespace

TEST(AppLaunch, StartsAnalyticsFirstThenPromotionThenTheWindowThenOneActivation)
{
    Editor e(DeviceProfile::Phone, "7.0", false);
    struct Seen {
        std::string event;
        bool unitExisted;
        std::size_t windows;
    };
    std::vector<Seen> seen;
    auto heard = EventHub::shared().subscribe<AnalyticsEventLogged>([&](const AnalyticsEventLogged& event) {
        seen.push_back({event.name, PromotionUnit::currentInstance() != nullptr, e.harness.app().windows().size()});
    });
    LogCapture log;
    e.harness.app().launch();

    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].event, "startSession:QK4TZW7XNDR2LBVHC5JP");
    EXPECT_FALSE(seen[0].unitExisted);
    EXPECT_EQ(seen[0].windows, 0u);

    auto unit = PromotionUnit::currentInstance();
    ASSERT_TRUE(unit);
    EXPECT_EQ(unit->appId(), std::to_string(app::AppDelegate::kStoreIdentifier));
    EXPECT_TRUE(log.contains("init sdk with app id " + unit->appId()));

    auto window = e.delegate->window();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_FALSE(window->isHidden());
    EXPECT_EQ(window->frame(), (Rect{0, 0, 320, 480}));
    EXPECT_EQ(window->rootViewController(), e.delegate->viewController());
    EXPECT_TRUE(e.harness.app().isStatusBarHidden());
    // The activation started the list fetch.
    EXPECT_TRUE(unit->request());
}

TEST(AppLaunch, EachReturnToTheForegroundActivatesOnceMoreAndDoesNothingElse)
{
    Editor e;
    auto unit = PromotionUnit::currentInstance();
    auto window = e.delegate->window();
    auto controller = e.delegate->viewController();
    int analyticsEvents = 0;
    auto heard = EventHub::shared().subscribe<AnalyticsEventLogged>([&](const AnalyticsEventLogged&) { ++analyticsEvents; });
    auto fetchEnds = [&] {
        auto request = unit->request();
        EXPECT_TRUE(request && RunLoop::main().runUntil([&] { return request->isFinished(); }, 20));
        RunLoop::main().runPending();
        return request;
    };
    std::set<std::shared_ptr<HttpRequest>> fetches{fetchEnds()};
    LogCapture log;

    for (int i = 0; i < 2; ++i) {
        e.harness.app().enterBackground();
        e.harness.app().enterForeground();
        fetches.insert(fetchEnds());
    }
    EXPECT_EQ(fetches.size(), 3u);
    EXPECT_EQ(PromotionUnit::currentInstance(), unit);
    EXPECT_EQ(e.delegate->window(), window);
    EXPECT_EQ(e.delegate->viewController(), controller);
    EXPECT_EQ(e.harness.app().windows().size(), 1u);
    EXPECT_EQ(analyticsEvents, 0);
    // Only the failed fetches (nothing listens on the server's port here).
    for (const auto& line : log.lines())
        EXPECT_EQ(line.rfind("get promotion list failed ", 0), 0u) << line;
}

TEST(PushRegistration, TheTokenReachesThePromotionUnitByteForByte)
{
    Editor e;
    LogCapture log;
    std::vector<std::uint8_t> token;
    for (int i = 0; i < 32; ++i)
        token.push_back(static_cast<std::uint8_t>(i * 37 + 5));
    e.delegate->didRegisterForRemoteNotificationsWithDeviceToken(e.harness.app(), token);

    EXPECT_TRUE(PromotionUnit::currentInstance()->isRegistDeviceSuccess());
    std::string expected = "<052a4f74 99bee308 2d52779c c1e60b30 557a9fc4 e90e3358 7da2c7ec 11365b80>";
    EXPECT_EQ(withoutFetch(log.lines()), std::vector<std::string>{"regist success.[token=" + expected + "]"});
}

TEST(PushRegistration, TheFormattedTokenIsReportedToThePromotionServer)
{
    test::LoopbackServer server;
    std::mutex mutex;
    std::vector<std::string> tokens;
    server.http().Get("/index.php", [&](const httplib::Request& req, httplib::Response& res) {
        if (req.get_param_value("action") == "apns") {
            std::lock_guard lock(mutex);
            tokens.push_back(req.get_param_value("token"));
        }
        res.set_content(writePropertyList(PlistValue(PlistValue::Dictionary{})), "application/x-plist");
    });
    Editor e(DeviceProfile::Phone, "7.0", false);
    setPromotionServerBase(server.url());
    e.harness.app().launch();
    std::vector<std::uint8_t> token(32, 0xab);
    e.delegate->didRegisterForRemoteNotificationsWithDeviceToken(e.harness.app(), token);
    ASSERT_TRUE(RunLoop::main().runUntil(
        [&] {
            std::lock_guard lock(mutex);
            return !tokens.empty();
        },
        20));
    std::lock_guard lock(mutex);
    std::string group = "abababab";
    std::string expected = group;
    for (int i = 1; i < 8; ++i)
        expected += "-" + group;
    EXPECT_EQ(tokens, std::vector<std::string>{expected});
}

TEST(PushRegistration, ThePlatformsTokenArrivesThroughTheDelegate)
{
    Editor e;
    LogCapture log;
    e.harness.app().registerForRemoteNotifications(RemoteNotificationTypeAlert);
    e.harness.advance(Application::kRemoteRegistrationDelay + 0.01);
    EXPECT_TRUE(PromotionUnit::currentInstance()->isRegistDeviceSuccess());
    auto lines = withoutFetch(log.lines());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("regist success.[token=<", 0), 0u);
}

TEST(PushRegistration, AFailureIsOnlyLogged)
{
    Editor e;
    LogCapture log;
    e.harness.app().setRemoteNotificationFailure("no network");
    e.harness.app().registerForRemoteNotifications(RemoteNotificationTypeAlert);
    e.harness.advance(1);
    EXPECT_EQ(withoutFetch(log.lines()), std::vector<std::string>{"regist device fail.[err = no network]"});
    EXPECT_FALSE(PromotionUnit::currentInstance()->isRegistDeviceSuccess());
}

TEST(Notifications, RemoteAndLocalOnlyWriteTheirLines)
{
    Editor e;
    auto unit = PromotionUnit::currentInstance();
    std::string text = "unchanged";
    e.text().setText(text);
    LogCapture log;
    PlistValue::Dictionary payload{{"aps", PlistValue(PlistValue::Dictionary{{"alert", PlistValue("hi")}})}};
    e.harness.app().deliverRemoteNotification(PlistValue(payload));
    e.harness.app().deliverLocalNotification(PlistValue(payload));
    EXPECT_EQ(withoutFetch(log.lines()), (std::vector<std::string>{"receive remote notification.", "receive locate notification"}));
    EXPECT_EQ(e.text().text(), text);
    EXPECT_EQ(e.harness.app().windows().size(), 1u);
}

TEST(PromotionUnitToken, FormatsGroupsOfEightLowerCaseHexDigits)
{
    PromotionUnit::resetForTests();
    auto unit = PromotionUnit::defaultInstance("1");
    std::vector<std::uint8_t> token(32);
    for (std::size_t i = 0; i < token.size(); ++i)
        token[i] = static_cast<std::uint8_t>(0xF0 + i % 16);
    std::string text = unit->registDeviceSucess(token);
    ASSERT_EQ(text.size(), 71u);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i % 9 == 8)
            EXPECT_EQ(text[i], '-') << i;
        else
            EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(text[i])) && !std::isupper(static_cast<unsigned char>(text[i])))
                << i;
    }
    EXPECT_EQ(text.substr(0, 17), "f0f1f2f3-f4f5f6f7");
    // A token that does not fill its last group.
    EXPECT_EQ(unit->registDeviceSucess({0xAB, 0x01, 0x02, 0x03, 0x0C}), "ab010203-0c");
    PromotionUnit::resetForTests();
}

TEST(PromotionUnitInstance, ASecondCreationKeepsTheFirstId)
{
    PromotionUnit::resetForTests();
    EXPECT_EQ(PromotionUnit::currentInstance(), nullptr);
    auto first = PromotionUnit::defaultInstance("111");
    auto second = PromotionUnit::defaultInstance("222");
    EXPECT_EQ(first, second);
    EXPECT_EQ(PromotionUnit::currentInstance()->appId(), "111");
    PromotionUnit::resetForTests();
}

TEST(PromotionUnitBannerKey, UsesTheStoredKeyOnlyWhenItIsUsable)
{
    vq::test::Harness h;
    PromotionUnit::resetForTests();
    auto unit = PromotionUnit::defaultInstance("1");
    auto& defaults = UserDefaults::standard();
    EXPECT_EQ(unit->bannerKey(), std::nullopt);
    defaults.setString("banner_key", "");
    EXPECT_EQ(unit->bannerKey(), std::nullopt);
    defaults.setString("banner_key", "none");
    EXPECT_EQ(unit->bannerKey(), std::nullopt);
    defaults.setInteger("banner_key", 5);
    EXPECT_EQ(unit->bannerKey(), std::nullopt);
    defaults.setString("banner_key", "ca-app-pub-1/2");
    EXPECT_EQ(unit->bannerKey(), std::optional<std::string>("ca-app-pub-1/2"));
    PromotionUnit::resetForTests();
}
