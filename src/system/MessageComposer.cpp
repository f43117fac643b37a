#include "system/MessageComposer.h"

#include "core/EventHub.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "graphics/Color.h"
#include "graphics/Font.h"
#include "graphics/Image.h"
#include "system/TopBar.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/View.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <chrono>

namespace vq {

namespace {

constexpr double kMargin = 20;

// A file name keeps what the user sees; path separators would make folders.
std::string fileNamePart(std::string text)
{
    std::replace(text.begin(), text.end(), '/', '_');
    return text.empty() ? "_" : text;
}

} // namespace

std::shared_ptr<MessageComposer> MessageComposer::create() { return std::shared_ptr<MessageComposer>(new MessageComposer()); }

std::filesystem::path MessageComposer::outboxDir() { return Paths::dataDir() / "outbox"; }

void MessageComposer::viewDidLoad()
{
    auto root = view();
    root->setBackgroundColor(Color::whiteColor());
    double width = root->frame().width();

    auto bar = TopBar::addTo(*root);

    auto title = Label::create();
    title->setText("New Message");
    title->setFont(Font::boldSystemFont(17));
    title->sizeToFit();
    title->setCenter({width / 2, TopBar::kHeight / 2});
    bar->addSubview(title);

    std::weak_ptr<MessageComposer> weak = std::static_pointer_cast<MessageComposer>(self());
    auto call = [weak](void (MessageComposer::*action)()) {
        return [weak, action] {
            if (auto composer = weak.lock())
                ((*composer).*action)();
        };
    };
    _cancelButton = TopBar::addButton(*bar, TopBar::End::Left, "Cancel", Font::systemFont(17),
                                      call(&MessageComposer::cancel));
    _sendButton = TopBar::addButton(*bar, TopBar::End::Right, "Send", Font::systemFont(17), call(&MessageComposer::send));

    _pictureView = ImageView::create();
    root->addSubview(_pictureView);
    showPicture();
}

// The latest attachment, at its point size, under the bar.
void MessageComposer::showPicture()
{
    if (!_pictureView || _attachments.empty())
        return;
    const auto& image = _latestPicture;
    _pictureView->setImage(image);
    if (!image)
        return;
    Size size = image->size();
    double width = view()->frame().width();
    _pictureView->setFrame({width - kMargin - size.width, TopBar::kHeight + kMargin, size.width, size.height});
}

bool MessageComposer::addAttachmentData(std::vector<std::uint8_t> data, const std::string& typeIdentifier,
                                        const std::string& filename)
{
    if (_mode == Mode::Refuse)
        return false;
    // Sized from its header: the pixels are decoded only if the preview is drawn.
    auto image = Image::imageWithEncodedData(data, 2);
    auto stamp = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now().time_since_epoch()).count();
    Attachment attachment{std::move(data), typeIdentifier, filename,
                          outboxDir() / fmt::format("{}-{}-{}", stamp, fileNamePart(typeIdentifier), fileNamePart(filename)),
                          image ? image->pixelWidth() : 0, image ? image->pixelHeight() : 0};
    _attachments.push_back(std::move(attachment));
    _latestPicture = image;
    EventHub::shared().publish(AttachmentAdded{_attachments.back()});
    if (isViewLoaded())
        showPicture();
    return true;
}

void MessageComposer::send()
{
    // A second tap while the screen slides away sends nothing again.
    if (_finished)
        return;
    if (_mode == Mode::Fail) {
        finish(MessageComposeResult::Failed);
        return;
    }
    for (auto& attachment : _attachments) {
        auto error = Paths::ensureDirectory(attachment.path.parent_path());
        if (!error)
            error = storeExclusively(attachment);
        if (error) {
            log("message not sent: {}", *error);
            finish(MessageComposeResult::Failed);
            return;
        }
    }
    finish(MessageComposeResult::Sent);
}

// Another instance on the same data folder may have taken the name since the
// picture was attached: the stamp moves on until a name is free, and no
// picture ever replaces another.
std::optional<std::string> MessageComposer::storeExclusively(Attachment& attachment)
{
    std::string_view bytes(reinterpret_cast<const char*>(attachment.data.data()), attachment.data.size());
    auto name = attachment.path.filename().string();
    auto dash = name.find('-');
    std::int64_t stamp = 0;
    bool stamped = dash != std::string::npos && std::from_chars(name.data(), name.data() + dash, stamp).ec == std::errc();
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        bool existed = false;
        auto error = writeNewFile(attachment.path, bytes, &existed);
        if (!existed)
            return error;
        if (!stamped)
            return error;
        ++stamp;
        attachment.path = attachment.path.parent_path() / fmt::format("{}{}", stamp, name.substr(dash));
    }
    return fmt::format("cannot write {}: no free name in the outbox", attachment.path.string());
}

void MessageComposer::cancel() { finish(MessageComposeResult::Cancelled); }

void MessageComposer::finish(MessageComposeResult result)
{
    if (_finished)
        return;
    _finished = true;
    // The delegate usually dismisses us, which may drop the last reference.
    auto keepAlive = self();
    ComposerFinished finished{result, {}};
    if (result == MessageComposeResult::Sent)
        for (const auto& attachment : _attachments)
            finished.stored.push_back(attachment.path);
    EventHub::shared().publish(finished);
    if (auto delegate = _delegate.lock())
        delegate->messageComposeViewController(*this, result);
}

} // namespace vq
