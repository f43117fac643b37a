#pragma once

#include "ui/ViewController.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vq {

class Button;
class Image;
class ImageView;
class MessageComposer;

// The composer's finish results, numbered as the platform numbers them.
enum class MessageComposeResult { Cancelled = 0, Sent = 1, Failed = 2 };

class MessageComposeDelegate {
public:
    virtual ~MessageComposeDelegate() = default;
    virtual void messageComposeViewController(MessageComposer& composer, MessageComposeResult result) = 0;
};

// A message with picture attachments, shown modally with Cancel and Send.
// There is no messages service here: Send stores the attachments in the
// data folder's outbox, where the user picks them up.
class MessageComposer : public vq::ViewController {
public:
    // How composers of this process answer (the --composer setting).
    enum class Mode { Ok, Refuse, None, Fail };
    static void setMode(Mode mode) { _mode = mode; }
    static Mode mode() { return _mode; }
    static bool canSendAttachments() { return _mode != Mode::None; }

    struct Attachment {
        std::vector<std::uint8_t> data;
        std::string typeIdentifier;
        std::string filename;
        // Where Send stores it.
        std::filesystem::path path;
        int pixelWidth = 0;
        int pixelHeight = 0;
    };

    static std::shared_ptr<MessageComposer> create();

    const char* className() const override { return "MessageComposer"; }
    void viewDidLoad() override;

    // false when the composer will not take it.
    bool addAttachmentData(std::vector<std::uint8_t> data, const std::string& typeIdentifier,
                           const std::string& filename);
    const std::vector<Attachment>& attachments() const { return _attachments; }

    void setMessageComposeDelegate(std::weak_ptr<MessageComposeDelegate> delegate) { _delegate = std::move(delegate); }
    std::shared_ptr<MessageComposeDelegate> messageComposeDelegate() const { return _delegate.lock(); }

    std::shared_ptr<Button> cancelButton() const { return _cancelButton; }
    std::shared_ptr<Button> sendButton() const { return _sendButton; }
    std::shared_ptr<ImageView> pictureView() const { return _pictureView; }

    // The buttons' actions.
    void send();
    void cancel();

    static std::filesystem::path outboxDir();


protected:
    MessageComposer() = default;

private:
    static constexpr int kNameAttempts = 1000;

    void finish(MessageComposeResult result);
    void showPicture();
    static std::optional<std::string> storeExclusively(Attachment& attachment);

    static inline Mode _mode = Mode::Ok;
    std::vector<Attachment> _attachments;
    // The latest attachment, at the scale it is shown at.
    std::shared_ptr<Image> _latestPicture;
    std::weak_ptr<MessageComposeDelegate> _delegate;
    std::shared_ptr<Button> _cancelButton;
    std::shared_ptr<Button> _sendButton;
    std::shared_ptr<ImageView> _pictureView;
    bool _finished = false;
};

// Published on the event hub for every attachment a composer accepts and
// every composer that finishes.
struct AttachmentAdded {
    const MessageComposer::Attachment& attachment;
};
struct ComposerFinished {
    MessageComposeResult result;
    // Where Send stored the attachments (empty for any other result).
    std::vector<std::filesystem::path> stored;
};

} // namespace vq
