#include "core/EventHub.h"
#include "core/Paths.h"
#include "graphics/Screen.h"
#include "support/Harness.h"
#include "system/Application.h"
#include "ui/Responder.h"
#include "ui/View.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

using namespace vq;

namespace {

class RecordingDelegate : public ApplicationDelegate {
public:
    std::vector<std::string> calls;
    std::vector<std::vector<std::uint8_t>> tokens;
    std::string error;

    bool didFinishLaunching(Application&) override
    {
        calls.push_back("didFinishLaunching");
        return true;
    }
    void didBecomeActive(Application&) override { calls.push_back("didBecomeActive"); }
    void willResignActive(Application&) override { calls.push_back("willResignActive"); }
    void didEnterBackground(Application&) override { calls.push_back("didEnterBackground"); }
    void willEnterForeground(Application&) override { calls.push_back("willEnterForeground"); }
    void willTerminate(Application&) override { calls.push_back("willTerminate"); }
    void didRegisterForRemoteNotificationsWithDeviceToken(Application&, std::vector<std::uint8_t> token) override
    {
        tokens.push_back(std::move(token));
    }
    void didFailToRegisterForRemoteNotificationsWithError(Application&, std::string e) override { error = e; }
};

using Calls = std::vector<std::string>;

TEST(ApplicationTest, LifeCycleCallsComeInOrderAndRepeatedTransitionsAreIgnored)
{
    test::Harness h;
    auto delegate = std::make_shared<RecordingDelegate>();
    h.app().setDelegate(delegate);

    h.app().launch();
    EXPECT_EQ(delegate->calls, (Calls{"didFinishLaunching", "didBecomeActive"}));
    EXPECT_EQ(h.app().applicationState(), ApplicationState::Active);

    delegate->calls.clear();
    h.app().enterForeground(); // already in front: nothing
    h.app().enterBackground();
    h.app().enterBackground();
    EXPECT_EQ(h.app().applicationState(), ApplicationState::Background);
    h.app().enterForeground();
    h.app().terminate();
    EXPECT_EQ(delegate->calls, (Calls{"willResignActive", "didEnterBackground", "willEnterForeground",
                                      "didBecomeActive", "willTerminate"}));
}

TEST(ApplicationTest, WindowsKeepCreationOrderAndOneKeyWindow)
{
    test::Harness h;
    auto first = Window::create(Screen::main().bounds());
    auto second = Window::create(Screen::main().bounds());
    second->setWindowLevel(WindowLevel::Alert);
    auto third = Window::create(Screen::main().bounds());
    ASSERT_EQ(h.app().windows().size(), 3u);
    EXPECT_EQ(h.app().windows()[0], first);
    EXPECT_EQ(h.app().windows()[1], second); // a higher level does not reorder the list
    EXPECT_EQ(h.app().windows()[2], third);

    EXPECT_EQ(h.app().keyWindow(), nullptr);
    first->setHidden(true);
    first->makeKeyAndVisible();
    EXPECT_FALSE(first->isHidden());
    EXPECT_TRUE(first->isKeyWindow());
    third->makeKeyWindow();
    EXPECT_FALSE(first->isKeyWindow());
    EXPECT_EQ(h.app().keyWindow(), third);

    // The application holds its windows.
    std::weak_ptr<Window> weak = second;
    second.reset();
    EXPECT_FALSE(weak.expired());
}

TEST(ApplicationTest, ScreenFollowsTheProfileAndTheStatusBar)
{
    struct Case {
        DeviceProfile profile;
        Size points;
        Size pixels;
    };
    for (auto c : {Case{DeviceProfile::Phone, {320, 480}, {640, 960}}, Case{DeviceProfile::Tall, {320, 568}, {640, 1136}},
                   Case{DeviceProfile::Tablet, {768, 1024}, {1536, 2048}}}) {
        test::Harness h(c.profile);
        auto& screen = Screen::main();
        EXPECT_EQ(screen.bounds(), Rect({0, 0}, c.points));
        EXPECT_EQ(screen.currentMode(), c.pixels);
        EXPECT_EQ(screen.scale(), 2);
        EXPECT_EQ(screen.applicationFrame(), Rect(0, 20, c.points.width, c.points.height - 20));
        h.app().setStatusBarHidden(true);
        EXPECT_EQ(screen.applicationFrame(), screen.bounds());
    }
    test::Harness h;
    h.app().setDeviceProfile(DeviceProfile::Tall);
    EXPECT_EQ(Screen::main().currentMode().height, 1136);
}

TEST(ApplicationTest, CanOpenURLKnowsTheSystemAndTheInstalledSchemes)
{
    test::Harness h;
    EXPECT_TRUE(h.app().canOpenURL("http://example.com"));
    EXPECT_TRUE(h.app().canOpenURL("HTTPS://example.com"));
    EXPECT_TRUE(h.app().canOpenURL("sms://"));
    EXPECT_FALSE(h.app().canOpenURL("fb://profile"));
    EXPECT_FALSE(h.app().canOpenURL("no scheme at all"));
    EXPECT_FALSE(h.app().canOpenURL(""));
    EXPECT_FALSE(h.app().canOpenURL("://x"));

    h.app().setInstalledSchemes({"fb", "Twitter://", "line:"});
    EXPECT_TRUE(h.app().canOpenURL("fb://profile"));
    EXPECT_TRUE(h.app().canOpenURL("twitter://post"));
    EXPECT_TRUE(h.app().canOpenURL("line://x"));
    EXPECT_FALSE(h.app().canOpenURL("fbx://profile"));

    std::vector<std::string> hooked;
    auto heard = EventHub::shared().subscribe<URLOpened>([&](const URLOpened& e) { hooked.push_back(e.url); });
    EXPECT_TRUE(h.app().openURL("fb://profile"));
    EXPECT_FALSE(h.app().openURL("unknown://thing"));
    EXPECT_EQ(h.app().openedURLs(), (std::vector<std::string>{"fb://profile", "unknown://thing"}));
    EXPECT_EQ(hooked, h.app().openedURLs());

    // A parsed URL of any scheme goes the same way; text that is no URL opens nothing.
    EXPECT_TRUE(h.app().canOpenURL(*Url::parse("LINE://x")));
    EXPECT_FALSE(h.app().canOpenURL(*Url::parse("quillpro://open")));
    EXPECT_TRUE(h.app().openURL(*Url::parse("sms:")));
    EXPECT_FALSE(h.app().canOpenURL("http://bad host"));
    EXPECT_FALSE(h.app().openURL("http://bad host"));
    EXPECT_EQ(h.app().openedURLs().back(), "http://bad host");
}

TEST(ApplicationTest, RemoteRegistrationDeliversTheKeptTokenAfterADelayOrTheFailure)
{
    std::vector<PushRegistration> told;
    std::vector<std::uint8_t> firstFolderToken;
    {
        test::Harness h;
        auto heard = EventHub::shared().subscribe<PushRegistration>([&](const PushRegistration& e) { told.push_back(e); });
        auto delegate = std::make_shared<RecordingDelegate>();
        h.app().setDelegate(delegate);
        int types = RemoteNotificationTypeAlert | RemoteNotificationTypeBadge;
        h.app().registerForRemoteNotifications(types);
        EXPECT_EQ(h.app().enabledRemoteNotificationTypes(), types);
        EXPECT_TRUE(delegate->tokens.empty()); // not within the call
        h.advance(Application::kRemoteRegistrationDelay / 2);
        EXPECT_TRUE(delegate->tokens.empty());
        h.advance(Application::kRemoteRegistrationDelay / 2);
        ASSERT_EQ(delegate->tokens.size(), 1u);
        EXPECT_EQ(delegate->tokens[0].size(), 32u);
        ASSERT_EQ(told.size(), 1u);
        ASSERT_TRUE(told[0].token);
        EXPECT_EQ(told[0].token->size(), 64u);
        EXPECT_EQ(told[0].token->find_first_not_of("0123456789abcdef"), std::string::npos);
        EXPECT_EQ(told[0].token->substr(0, 2), fmt::format("{:02x}", delegate->tokens[0][0]));

        // The same data folder keeps the token, so runs repeat.
        h.app().registerForRemoteNotifications(types);
        h.advance(1);
        ASSERT_EQ(delegate->tokens.size(), 2u);
        EXPECT_EQ(delegate->tokens[0], delegate->tokens[1]);
        EXPECT_EQ(Application::deviceToken(), delegate->tokens[0]);
        firstFolderToken = delegate->tokens[0];

        // A kept file of the wrong size is replaced by a good token.
        std::ofstream(Paths::dataDir() / "push-token") << "short";
        EXPECT_EQ(Application::deviceToken().size(), 32u);

        h.app().setRemoteNotificationFailure("no aps-environment");
        h.app().registerForRemoteNotifications(types);
        h.advance(1);
        EXPECT_EQ(delegate->tokens.size(), 2u);
        EXPECT_EQ(delegate->error, "no aps-environment");
        ASSERT_EQ(told.size(), 3u);
        EXPECT_FALSE(told[2].token);
        EXPECT_EQ(told[2].error, "no aps-environment");
    }
    // Another data folder has a token of its own.
    test::Harness other;
    EXPECT_NE(Application::deviceToken(), firstFolderToken);
}

TEST(ApplicationTest, DataFolderCheckNamesTheFolderItCannotCreate)
{
    test::Harness h;
    EXPECT_EQ(Application::prepareDataFolders(), std::nullopt);
    EXPECT_TRUE(std::filesystem::is_directory(Paths::dataDir()));
    EXPECT_TRUE(std::filesystem::is_directory(Paths::cacheDir()));

    std::ofstream(h.dataRoot() / "file") << "x";
    Paths::setDataRoot(h.dataRoot() / "file");
    auto message = Application::prepareDataFolders();
    ASSERT_TRUE(message);
    EXPECT_NE(message->find(Paths::dataDir().string()), std::string::npos);
}

// A focusable view that records the keys it gets.
class KeyRecorder : public View {
public:
    static std::shared_ptr<KeyRecorder> create(Rect frame) { return std::shared_ptr<KeyRecorder>(new KeyRecorder(frame)); }
    std::vector<std::string> keys;
    int backspaces = 0;
    bool canBecomeFirstResponder() const override { return true; }
    void insertText(const std::string& text) override { keys.push_back(text); }
    void deleteBackward() override { ++backspaces; }

protected:
    using View::View;
};

TEST(ApplicationTest, KeysGoToTheFirstResponderOneCharacterAtATime)
{
    test::Harness h;
    auto window = h.makeWindow();
    auto field = KeyRecorder::create(Rect(0, 0, 100, 40));
    window->rootViewController()->view()->addSubview(field);

    h.type("lost"); // nobody listens yet
    ASSERT_TRUE(field->becomeFirstResponder());
    // e + combining acute, a flag and a family emoji are one key each.
    h.type("ae\u0301\U0001F1EB\U0001F1F7\U0001F468\u200D\U0001F469\u200D\U0001F467\nz\r\n");
    EXPECT_EQ(field->keys, (std::vector<std::string>{"a", "e\u0301", "\U0001F1EB\U0001F1F7",
                                                     "\U0001F468\u200D\U0001F469\u200D\U0001F467", "\n", "z", "\n"}));
    field->keys.clear();
    h.paste("whole text\n");
    h.backspace();
    h.backspace();
    EXPECT_EQ(field->keys, (std::vector<std::string>{"whole text\n"}));
    EXPECT_EQ(field->backspaces, 2);
}

} // namespace
