#include "EditorFixture.h"

#include "core/Paths.h"
#include "graphics/Image.h"
#include "system/AlertView.h"
#include "system/MessageComposer.h"
#include "system/Pasteboard.h"
#include "ui/Button.h"
#include "ui/ImageView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace vq;
using vq::test::Editor;
using vq::test::nearColor;

namespace {

constexpr float kJpegTolerance = 0.06f;

class Send : public testing::Test {
protected:
    std::unique_ptr<Editor> e = std::make_unique<Editor>();

    void restart(DeviceProfile profile, const std::string& version) { e.reset(); e = std::make_unique<Editor>(profile, version); }
    app::ViewController& vc() { return e->vc(); }

    void typeMessage(const std::string& text)
    {
        e->focus();
        e->harness.type(text);
    }
    std::shared_ptr<MessageComposer> composer()
    {
        return std::dynamic_pointer_cast<MessageComposer>(vc().presentedViewController());
    }
    // The picture of the last send, wherever it went.
    std::shared_ptr<Image> sentPicture()
    {
        std::vector<std::uint8_t> bytes;
        if (auto c = composer())
            bytes = c->attachments().back().data;
        else if (auto data = Pasteboard::general().dataForType("public.jpeg"))
            bytes = *data;
        return Image::imageWithData(bytes);
    }
    std::shared_ptr<AlertView> alert()
    {
        auto alerts = AlertView::visibleAlerts();
        return alerts.empty() ? nullptr : alerts.back();
    }
    void tapComposer(const std::shared_ptr<Button>& button)
    {
        Point c = Editor::screenCenter(*button);
        e->harness.tap(c.x, c.y);
        e->harness.advance(1);
    }
};

struct SizeCase {
    DeviceProfile profile;
    const char* version;
    int side;
};

class PictureSize : public Send, public testing::WithParamInterface<SizeCase> {};

TEST_P(PictureSize, ModernSystemsSendASquareAtScreenScale)
{
    restart(GetParam().profile, GetParam().version);
    typeMessage("Hi");
    vc().send();
    auto picture = sentPicture();
    ASSERT_TRUE(composer());
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixelWidth(), GetParam().side);
    EXPECT_EQ(picture->pixelHeight(), GetParam().side);
}

INSTANTIATE_TEST_SUITE_P(Devices, PictureSize,
                         testing::Values(SizeCase{DeviceProfile::Phone, "7.0", 340},
                                         SizeCase{DeviceProfile::Tall, "8.1", 340},
                                         SizeCase{DeviceProfile::Tablet, "7.0", 490}));

TEST_F(Send, BeforeSevenOnlyTheTextStripGoesToThePasteboard)
{
    for (auto [profile, width] : {std::pair{DeviceProfile::Phone, 300}, std::pair{DeviceProfile::Tablet, 430}}) {
        restart(profile, "6.1");
        typeMessage("one two three four five six seven");
        double contentHeight = vc().textView()->contentSize().height;
        vc().send();
        EXPECT_FALSE(composer());
        auto picture = sentPicture();
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->pixelWidth(), width);
        EXPECT_GT(contentHeight, 40) << "the text wraps";
        EXPECT_NEAR(picture->pixelHeight(), contentHeight * 2, 1);
        ASSERT_TRUE(alert());
        EXPECT_EQ(alert()->tag(), 3025);
    }
}

TEST_F(Send, EmptyMessageIsOnlyItsBackgroundColour)
{
    Color red = Color::rgb255(200, 30, 40);
    vc().changeBgColor(red);
    vc().send();
    auto picture = sentPicture();
    ASSERT_TRUE(picture);
    for (int y = 0; y < picture->pixelHeight(); y += 17)
        for (int x = 0; x < picture->pixelWidth(); x += 17)
            ASSERT_TRUE(nearColor(picture->pixelAt(x, y), red, kJpegTolerance)) << x << "," << y;
}

TEST_F(Send, TextureIsScaledToTheCardBehindTheText)
{
    vc().changeTextureView("7");
    auto texture = vc().textBgView()->image();
    ASSERT_TRUE(texture);
    vc().send();
    auto picture = sentPicture();
    ASSERT_TRUE(picture);
    int matched = 0, probes = 0;
    for (int y = 10; y < picture->pixelHeight(); y += 40)
        for (int x = 10; x < picture->pixelWidth(); x += 40) {
            ++probes;
            int tx = x * texture->pixelWidth() / picture->pixelWidth();
            int ty = y * texture->pixelHeight() / picture->pixelHeight();
            matched += nearColor(picture->pixelAt(x, y), texture->pixelAt(tx, ty), 0.1f);
        }
    // Resampling blurs edges of the pattern; nearly every probe still matches.
    EXPECT_GE(matched, probes * 9 / 10);
}

TEST_F(Send, TextIsCentredOnTheCardUpToTheSizeLimit)
{
    std::string atLimit;
    for (int i = 0; i < 40; ++i)
        atLimit += "word ";
    for (const std::string& text : {std::string("MMMM MMMM MMMM MMMM"), atLimit}) {
        restart(DeviceProfile::Phone, "7.0");
        vc().changeBgColor(Color::whiteColor());
        vc().changeTextColor(Color::blackColor());
        typeMessage(text);
        // Keys past the limit are undone a moment later.
        e->harness.advance(1);
        ASSERT_LT(vc().textView()->text().size(), text == atLimit ? text.size() : 100u);
        vc().send();
        auto picture = sentPicture();
        ASSERT_TRUE(picture);
        int w = picture->pixelWidth(), h = picture->pixelHeight();
        int left = w, right = -1, top = h, bottom = -1;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (picture->pixelAt(x, y).r < 0.5f) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        ASSERT_GE(right, 0) << "the text is drawn";
        // The copy is narrower than the card by 10 points a side, plus its own padding.
        EXPECT_GE(left, 2 * 10) << text;
        EXPECT_GE(w - 1 - right, 2 * 10) << text;
        EXPECT_NEAR(top, h - 1 - bottom, 16) << "as much room above the text as below: " << text;
    }
}

TEST_F(Send, SuccessiveAttachmentsAreNumberedFromOne)
{
    for (const char* expected : {"1", "2", "3"}) {
        vc().send();
        auto c = composer();
        ASSERT_TRUE(c);
        ASSERT_EQ(c->attachments().size(), 1u);
        EXPECT_EQ(c->attachments()[0].typeIdentifier, expected);
        EXPECT_EQ(c->attachments()[0].filename, "velvetQuill.jpg");
        tapComposer(c->cancelButton());
        EXPECT_FALSE(composer());
        EXPECT_FALSE(alert()) << "a cancelled send shows nothing";
    }
}

TEST_F(Send, AComposerThatCannotTakeThePictureFallsBackToThePasteboard)
{
    for (auto mode : {MessageComposer::Mode::Refuse, MessageComposer::Mode::None}) {
        restart(DeviceProfile::Phone, "7.0");
        MessageComposer::setMode(mode);
        vc().send();
        EXPECT_FALSE(composer());
        auto data = Pasteboard::general().dataForType("public.jpeg");
        ASSERT_TRUE(data);
        EXPECT_EQ(readFile(Pasteboard::latestImagePath()), std::string(data->begin(), data->end()));
        auto a = alert();
        ASSERT_TRUE(a);
        EXPECT_EQ(a->tag(), 3025);
        EXPECT_EQ(a->title(), "Send to Contact");
        EXPECT_EQ(a->message(), "1. Tap Send\n2. Choose the recipient\n3. Hold down on the message field and click "
                                "paste\n4. Send your message");
        EXPECT_EQ(a->buttonTitleAtIndex(a->cancelButtonIndex()), "OK");
        EXPECT_EQ(a->numberOfButtons(), 2);
    }
}

TEST_F(Send, SomethingAlreadyOverTheEditorSendsThePictureToThePasteboard)
{
    auto cover = vq::ViewController::create();
    vc().presentViewController(cover, false);
    e->harness.advance(1);
    ASSERT_EQ(vc().presentedViewController(), cover);
    typeMessage("still here");
    vc().send();

    EXPECT_EQ(vc().presentedViewController(), cover) << "no composer was shown";
    EXPECT_EQ(vc().identify(), 0) << "no attachment was offered";
    auto data = Pasteboard::general().dataForType("public.jpeg");
    ASSERT_TRUE(data) << "the picture is not lost";
    EXPECT_TRUE(Image::imageWithData(*data));
    auto a = alert();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->tag(), 3025);

    // Once the cover is gone the composer takes the next picture as the first attachment.
    a->dismissWithClickedButtonIndex(a->cancelButtonIndex(), false);
    cover->dismissViewController(false);
    e->harness.advance(1);
    vc().send();
    ASSERT_TRUE(composer());
    EXPECT_EQ(composer()->attachments().at(0).typeIdentifier, "1");
}

TEST_F(Send, TheTextCopyUsesTheMessageFont)
{
    // A wide face against the narrow default: the same text covers a clearly different width.
    auto inkWidth = [&](const std::optional<Font>& font) {
        restart(DeviceProfile::Phone, "7.0");
        vc().changeBgColor(Color::whiteColor());
        vc().changeTextColor(Color::blackColor());
        if (font)
            vc().changeFont(*font);
        typeMessage("iiii iiii");
        vc().send();
        auto picture = sentPicture();
        EXPECT_TRUE(picture);
        if (!picture)
            return -1;
        int left = picture->pixelWidth(), right = -1;
        for (int y = 0; y < picture->pixelHeight(); ++y)
            for (int x = 0; x < picture->pixelWidth(); ++x)
                if (picture->pixelAt(x, y).r < 0.5f) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        return right - left;
    };
    auto mono = Font::fontWithName("DejaVuSansMono-Bold", 17);
    ASSERT_TRUE(mono) << "DejaVu Sans Mono is part of the test font set";
    int plain = inkWidth(std::nullopt);
    int wide = inkWidth(mono);
    ASSERT_GT(plain, 0);
    EXPECT_GT(wide, plain * 3 / 2) << "a monospaced i is far wider than the system font's";
}

TEST_F(Send, BeforeSevenTheTextSitsAtTheStripsTopLeft)
{
    restart(DeviceProfile::Phone, "6.1");
    vc().changeBgColor(Color::whiteColor());
    vc().changeTextColor(Color::blackColor());
    typeMessage("MMMM MMMM MMMM MMMM MMMM");
    vc().send();
    auto picture = sentPicture();
    ASSERT_TRUE(picture);
    int left = picture->pixelWidth(), top = picture->pixelHeight();
    for (int y = 0; y < picture->pixelHeight(); ++y)
        for (int x = 0; x < picture->pixelWidth(); ++x)
            if (picture->pixelAt(x, y).r < 0.5f) {
                left = std::min(left, x);
                top = std::min(top, y);
            }
    // Only the text view's own inset (a few points) lies between the strip's corner and the ink.
    EXPECT_LT(left, 2 * 12);
    EXPECT_LT(top, 2 * 14);
}

TEST_F(Send, InstructionsSendOpensMessagesAndOkDoesNothing)
{
    Device::current().setSystemVersion("6.0");
    for (bool chooseSend : {false, true}) {
        vc().send();
        auto a = alert();
        ASSERT_TRUE(a);
        a->dismissWithClickedButtonIndex(chooseSend ? 1 : a->cancelButtonIndex(), true);
        e->harness.advance(1);
        EXPECT_EQ(e->harness.app().openedURLs(),
                  chooseSend ? std::vector<std::string>{"sms://"} : std::vector<std::string>{});
    }
}

TEST_F(Send, FailedSendsShowAnErrorAndLeaveTheMessageAlone)
{
    typeMessage("keep me");
    vc().changeBgColor(Color::rgb255(10, 20, 30));
    auto before = std::make_tuple(vc().textView()->text(), vc().textView()->textColor(),
                                  vc().textView()->backgroundColor(), vc().textView()->font().fontName(),
                                  vc().previousText());
    // One failure from the composer itself, one from an outbox that is a file.
    MessageComposer::setMode(MessageComposer::Mode::Fail);
    for (int round = 0; round < 2; ++round) {
        if (round == 1) {
            MessageComposer::setMode(MessageComposer::Mode::Ok);
            ASSERT_FALSE(Paths::ensureDirectory(Paths::dataDir()));
            std::ofstream(MessageComposer::outboxDir()) << "not a folder";
        }
        vc().send();
        auto c = composer();
        ASSERT_TRUE(c);
        tapComposer(c->sendButton());
        EXPECT_FALSE(composer());
        auto a = alert();
        ASSERT_TRUE(a);
        EXPECT_EQ(a->title(), "Error");
        EXPECT_EQ(a->message(), "Failed to send SMS!");
        EXPECT_EQ(a->numberOfButtons(), 1);
        a->dismissWithClickedButtonIndex(0, false);
        e->harness.advance(1);
        EXPECT_EQ(before, std::make_tuple(vc().textView()->text(), vc().textView()->textColor(),
                                          vc().textView()->backgroundColor(), vc().textView()->font().fontName(),
                                          vc().previousText()));
    }
}

} // namespace
