#pragma once

#include "adnetwork/AdRequest.h"
#include "adnetwork/BannerViewDelegate.h"
#include "graphics/Color.h"
#include "graphics/Font.h"
#include "options/OptionsViewDelegate.h"
#include "system/AlertViewDelegate.h"
#include "system/MessageComposer.h"
#include "ui/TextView.h"
#include "ui/ViewController.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vq {
class BannerView;
class Button;
class Image;
class ImageView;
class Label;
class OptionsView;
class Timer;
struct Notification;
} // namespace vq

namespace vq::app {

// The editor: the top bar, the message with its clear and random buttons,
// the options panel and the banner slot.
class ViewController : public vq::ViewController,
                       public TextViewDelegate,
                       public OptionsViewDelegate,
                       public BannerViewDelegate,
                       public AlertViewDelegate,
                       public MessageComposeDelegate {
public:
    static std::shared_ptr<ViewController> create();
    ~ViewController() override;

    const char* className() const override { return "ViewController"; }

    void viewDidLoad() override;
    void didReceiveMemoryWarning() override { vq::ViewController::didReceiveMemoryWarning(); }

    std::shared_ptr<ImageView> navBar() const { return _navBar; }
    std::shared_ptr<Label> titleView() const { return _titleView; }
    std::shared_ptr<Button> infoButton() const { return _infoButton; }
    std::shared_ptr<Button> sendButton() const { return _sendButton; }
    std::shared_ptr<Button> clearButton() const { return _clearButton; }
    std::shared_ptr<Button> randomButton() const { return _randomButton; }
    std::shared_ptr<TextView> textView() const { return _textView; }
    std::shared_ptr<ImageView> textBgView() const { return _textBgView; }
    std::shared_ptr<OptionsView> optionsView() const { return _optionsView; }
    std::shared_ptr<BannerView> bannerView() const { return _bannerView; }
    std::shared_ptr<Timer> bannerTimer() const { return _bannerTimer; }
    bool isAdShown() const { return _isAdShown; }
    // nullopt until the first accepted edit; counts as empty.
    const std::optional<std::string>& previousText() const { return _previousText; }
    std::int32_t identify() const { return _identify; }

    // Actions.
    void showInfo();
    // Renders the message as a picture and hands it to the composer or the pasteboard.
    void send();
    void clearSetting();
    void randomSetting();

    // The text's height as the size rules measure it.
    double getTextHeight(const TextView& textView) const;
    // Trims the message from the end until it fits; returns the last measured height.
    double shortcutInput();

    // Keyboard handling.
    void keyboardWasChange(const Notification& notification);
    void keyboardWasHidden();
    void adjustOptionsView(double y);

    // Banner slot.
    void initBanner();
    AdRequest createRequest() const;
    void checkBannerKey();
    void adViewDidReceiveAd(BannerView& bannerView) override;

    // Text view delegate.
    bool textViewShouldChangeTextInRange(TextView& textView, TextRange range, const std::string& replacement) override;
    void textViewDidChange(TextView& textView) override;

    // Options panel delegate.
    void changeTextColor(const Color& color) override;
    void changeBgColor(const Color& color) override;
    void changeTextureView(const std::string& name) override;
    void changeFont(const Font& font) override;
    void resign() override;

    // Sending.
    void messageComposeViewController(MessageComposer& composer, MessageComposeResult result) override;
    void alertViewDidDismissWithButtonIndex(AlertView& alertView, int buttonIndex) override;
    // The message card as send makes it: its JPEG.
    std::vector<std::uint8_t> renderMessagePicture() const;
    static constexpr int kInstructionsAlertTag = 3025;

    static Color defaultBackgroundColor() { return Color::rgb255(102, 255, 122); }
    // The message's size rules for the current device.
    struct Metrics {
        double measuringWidth;
        double upperTextLimit;
        double minimumHeight;
        double heightPad;
        double textViewWidth;
        double fontSize;
    };
    static Metrics metrics();

protected:
    ViewController() = default;

private:
    std::shared_ptr<ViewController> selfPtr();
    std::shared_ptr<Button> makeBarButton(const std::string& title, void (ViewController::*action)());
    // Height from a measured text height: the minimum, or h plus the pad when asked.
    void fitTextView(double h, bool addPad);
    void showInstructions(const std::vector<std::uint8_t>& jpeg);

    std::shared_ptr<ImageView> _navBar;
    std::shared_ptr<Label> _titleView;
    std::shared_ptr<Button> _infoButton;
    std::shared_ptr<Button> _sendButton;
    std::shared_ptr<Button> _clearButton;
    std::shared_ptr<Button> _randomButton;
    std::shared_ptr<TextView> _textView;
    std::shared_ptr<ImageView> _textBgView;
    std::optional<std::string> _previousText;
    std::shared_ptr<OptionsView> _optionsView;
    std::shared_ptr<BannerView> _bannerView;
    std::shared_ptr<Timer> _bannerTimer;
    bool _isAdShown = false;
    std::int32_t _identify = 0;
    struct LastMeasure {
        std::string text;
        Font font;
        double width;
        double height;
    };
    mutable std::optional<LastMeasure> _lastMeasure;
    // The overflowing edit's undo, until it runs.
    std::shared_ptr<Timer> _pendingUndo;
};

} // namespace vq::app
