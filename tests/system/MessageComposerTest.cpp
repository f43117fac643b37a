#include "core/EventHub.h"
#include "core/Paths.h"
#include "graphics/Image.h"
#include "support/Harness.h"
#include "system/MessageComposer.h"
#include "system/Pasteboard.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/ViewController.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace vq;

namespace {

std::vector<std::uint8_t> smallJpeg()
{
    auto image = Image::blank(6, 4, 2);
    return jpegRepresentation(*image, 1.0);
}

class Recorder : public MessageComposeDelegate {
public:
    void messageComposeViewController(MessageComposer&, MessageComposeResult result) override { results.push_back(result); }
    std::vector<MessageComposeResult> results;
};

class Composer : public testing::Test {
protected:
    test::Harness harness;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
    std::shared_ptr<MessageComposer> composer = MessageComposer::create();

    void SetUp() override { composer->setMessageComposeDelegate(recorder); }

    std::vector<std::filesystem::path> outbox() const
    {
        std::vector<std::filesystem::path> files;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(MessageComposer::outboxDir(), ec))
            files.push_back(entry.path());
        return files;
    }
};

TEST_F(Composer, SendStoresEachAttachmentUnderItsTypeAndName)
{
    std::vector<std::string> reported;
    auto heard = EventHub::shared().subscribe<AttachmentAdded>([&](const AttachmentAdded& e) {
        const auto& a = e.attachment;
        reported.push_back(a.typeIdentifier + " " + std::to_string(a.pixelWidth) + "x" + std::to_string(a.pixelHeight));
    });
    ASSERT_TRUE(composer->addAttachmentData(smallJpeg(), "4", "velvetQuill.jpg"));
    ASSERT_TRUE(composer->addAttachmentData(smallJpeg(), "a/b", "x.jpg"));
    heard.reset();
    EXPECT_EQ(reported, (std::vector<std::string>{"4 6x4", "a/b 6x4"}));

    composer->send();
    EXPECT_EQ(recorder->results, std::vector{MessageComposeResult::Sent});
    auto files = outbox();
    ASSERT_EQ(files.size(), 2u) << "no temporary files are left behind";
    std::vector<std::string> names;
    for (const auto& f : files)
        names.push_back(f.filename().string());
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return a.size() < b.size(); });
    EXPECT_TRUE(names[0].ends_with("-a_b-x.jpg")) << names[0];
    EXPECT_TRUE(names[1].ends_with("-4-velvetQuill.jpg")) << names[1];
    std::sort(files.begin(), files.end());
    std::vector<std::filesystem::path> announced{composer->attachments()[0].path, composer->attachments()[1].path};
    std::sort(announced.begin(), announced.end());
    EXPECT_EQ(files, announced);
}

TEST_F(Composer, APictureNeverReplacesOneAnotherInstanceStoredUnderTheSameName)
{
    // Two instances on one data folder name their pictures by the same
    // millisecond: the other one got there first.
    ASSERT_TRUE(composer->addAttachmentData(smallJpeg(), "4", "velvetQuill.jpg"));
    auto taken = composer->attachments()[0].path;
    ASSERT_FALSE(Paths::ensureDirectory(taken.parent_path()));
    std::ofstream(taken) << "the other instance's picture";
    auto next = taken.parent_path() / [&] {
        auto name = taken.filename().string();
        auto dash = name.find('-');
        return std::to_string(std::stoll(name.substr(0, dash)) + 1) + name.substr(dash);
    }();
    std::ofstream(next) << "and its next one";

    composer->send();
    EXPECT_EQ(recorder->results, std::vector{MessageComposeResult::Sent});
    EXPECT_EQ(readFile(taken), "the other instance's picture");
    EXPECT_EQ(readFile(next), "and its next one");
    auto stored = composer->attachments()[0].path;
    EXPECT_NE(stored, taken);
    EXPECT_NE(stored, next);
    EXPECT_TRUE(stored.filename().string().ends_with("-4-velvetQuill.jpg")) << stored;
    auto jpeg = smallJpeg();
    EXPECT_EQ(readFile(stored), std::string(jpeg.begin(), jpeg.end()));
    EXPECT_EQ(outbox().size(), 3u);
}

TEST_F(Composer, FailuresAndCancelWriteNothing)
{
    composer->addAttachmentData(smallJpeg(), "1", "velvetQuill.jpg");
    composer->cancel();
    composer->send(); // finished already
    EXPECT_EQ(recorder->results, std::vector{MessageComposeResult::Cancelled});

    MessageComposer::setMode(MessageComposer::Mode::Fail);
    auto failing = MessageComposer::create();
    failing->setMessageComposeDelegate(recorder);
    failing->addAttachmentData(smallJpeg(), "1", "velvetQuill.jpg");
    failing->send();

    MessageComposer::setMode(MessageComposer::Mode::Ok);
    ASSERT_FALSE(Paths::ensureDirectory(Paths::dataDir()));
    std::ofstream(MessageComposer::outboxDir()) << "in the way";
    auto blocked = MessageComposer::create();
    blocked->setMessageComposeDelegate(recorder);
    blocked->addAttachmentData(smallJpeg(), "1", "velvetQuill.jpg");
    blocked->send();

    EXPECT_EQ(recorder->results, (std::vector{MessageComposeResult::Cancelled, MessageComposeResult::Failed,
                                              MessageComposeResult::Failed}));
    EXPECT_TRUE(std::filesystem::is_regular_file(MessageComposer::outboxDir()));
}

TEST_F(Composer, ScreenShowsThePictureWithItsButtons)
{
    composer->addAttachmentData(smallJpeg(), "1", "velvetQuill.jpg");
    auto presenter = ViewController::create();
    harness.makeWindow(presenter);
    presenter->presentViewController(composer, false);
    ASSERT_TRUE(composer->sendButton());
    ASSERT_TRUE(composer->cancelButton());
    ASSERT_TRUE(composer->pictureView()->image());
    EXPECT_EQ(composer->pictureView()->image()->pixelWidth(), 6);
    Rect send = composer->sendButton()->convertRectTo(composer->sendButton()->bounds(), nullptr);
    harness.tap(send.center().x, send.center().y);
    EXPECT_EQ(recorder->results, std::vector{MessageComposeResult::Sent});
}

TEST(PasteboardTest, ImagesAreAlsoWrittenOutOtherDataIsNot)
{
    test::Harness harness;
    std::vector<std::string> events;
    auto heard = EventHub::shared().subscribe<PasteboardImageWritten>([&](const PasteboardImageWritten& e) {
        events.push_back(e.type + " " + e.path.filename().string());
    });
    auto& board = Pasteboard::general();
    board.setData({'h', 'i'}, "public.utf8-plain-text");
    EXPECT_FALSE(std::filesystem::exists(Pasteboard::latestImagePath()));
    auto jpeg = smallJpeg();
    board.setData(jpeg, Pasteboard::typeListImage().front());
    heard.reset();
    EXPECT_EQ(Pasteboard::typeListImage().front(), "public.jpeg");
    EXPECT_EQ(events, std::vector<std::string>{"public.jpeg latest.jpg"});
    EXPECT_EQ(readFile(Pasteboard::latestImagePath()), std::string(jpeg.begin(), jpeg.end()));
    EXPECT_EQ(board.dataForType("public.utf8-plain-text"), (std::vector<std::uint8_t>{'h', 'i'}));
    EXPECT_FALSE(board.dataForType("public.png"));
}

} // namespace
