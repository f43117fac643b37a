#include "app/ViewController.h"

#include "adnetwork/BannerView.h"
#include "app/MessageFit.h"
#include "core/Bundle.h"
#include "core/Log.h"
#include "core/NotificationCenter.h"
#include "core/Paths.h"
#include "core/PropertyList.h"
#include "core/RunLoop.h"
#include "core/Timer.h"
#include "graphics/Image.h"
#include "graphics/Screen.h"
#include "graphics/TextLayout.h"
#include "options/OptionsView.h"
#include "promotion/PromotionUnit.h"
#include "system/AlertView.h"
#include "system/Application.h"
#include "system/Device.h"
#include "system/DeviceVariant.h"
#include "system/Pasteboard.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/Renderer.h"

#include <fmt/format.h>

#include <cstdlib>

namespace vq::app {

namespace {

constexpr double kBarHeight = 44;
constexpr double kUndoDelay = 0.5;
constexpr double kPanelAnimation = 0.5;
constexpr double kBannerKeyPollInterval = 5.0;

bool isModernSystem() { return compareSystemVersions(Device::current().systemVersion(), "7.0") >= 0; }

Rect appFrame() { return Screen::main().applicationFrame(); }

Color barTitleColor() { return Color::rgb255(20, 96, 255); }
Color barTitleHighlightedColor() { return Color::rgb255(198, 222, 250); }

double optionsPanelHeight()
{
    switch (currentDeviceVariant()) {
    case DeviceVariant::Tablet: return 523;
    case DeviceVariant::TallPhone: return 302;
    case DeviceVariant::Phone: break;
    }
    return 263;
}

} // namespace

ViewController::Metrics ViewController::metrics()
{
    if (isTablet())
        return {200, 195, 90, 16, 215, 21};
    return {140, 125, 40, 20, 150, 17};
}

std::shared_ptr<ViewController> ViewController::create() { return std::shared_ptr<ViewController>(new ViewController()); }

ViewController::~ViewController()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    if (_bannerTimer)
        _bannerTimer->invalidate();
    if (_pendingUndo)
        _pendingUndo->invalidate();
}

std::shared_ptr<ViewController> ViewController::selfPtr()
{
    return std::static_pointer_cast<ViewController>(shared_from_this());
}

std::shared_ptr<Button> ViewController::makeBarButton(const std::string& title, void (ViewController::*action)())
{
    bool tablet = isTablet();
    auto button = Button::create();
    button->setUserInteractionEnabled(true);
    // No string table ships with the app, so the key is the title.
    button->setTitle(title, ControlState::Normal);
    button->setTitleFont(Font::systemFont(tablet ? 23 : 19));
    button->setTitleColor(barTitleColor(), ControlState::Normal);
    button->setTitleColor(barTitleHighlightedColor(), ControlState::Highlighted);
    std::weak_ptr<ViewController> weak = selfPtr();
    button->addAction(ControlEvent::TouchUpInside, [weak, action] {
        if (auto self = weak.lock())
            ((*self).*action)();
    });
    button->sizeToFit();
    return button;
}

void ViewController::viewDidLoad()
{
    vq::ViewController::viewDidLoad();
    auto root = view();
    bool tablet = isTablet();
    Rect app = appFrame();
    double appW = app.width(), appH = app.height();
    auto m = metrics();

    root->setBackgroundColor(Color::whiteColor());

    _navBar = ImageView::create(Rect{0, 0, root->frame().width(), kBarHeight});
    _navBar->setUserInteractionEnabled(true);
    _navBar->setImage(Image::imageNamed(tablet ? "bar-ipad" : "bar"));
    root->addSubview(_navBar);

    _infoButton = makeBarButton("Info", &ViewController::showInfo);
    _infoButton->setCenter(tablet ? Point{42, 23} : Point{23, 23});
    _navBar->addSubview(_infoButton);

    _sendButton = makeBarButton("Send", &ViewController::send);
    _sendButton->setCenter({appW - (tablet ? 50 : 28), 23});
    _navBar->addSubview(_sendButton);

    _titleView = Label::create();
    _titleView->setText("Velvet Quill");
    _titleView->setTextColor(Color::rgb255(121, 135, 144));
    _titleView->setFont(Font::systemFont(tablet ? 22 : 20));
    _titleView->sizeToFit();
    _titleView->setCenter({appW / 2, 23});
    _navBar->addSubview(_titleView);

    std::weak_ptr<ViewController> weak = selfPtr();
    auto sideButton = [&](const std::string& image, Rect frame, void (ViewController::*action)()) {
        auto button = Button::create(frame);
        button->setImage(Image::imageNamed(tablet ? image + "-ipad" : image), ControlState::Normal);
        button->addAction(ControlEvent::TouchUpInside, [weak, action] {
            if (auto self = weak.lock())
                ((*self).*action)();
        });
        root->addSubview(button);
        return button;
    };
    double buttonY = tablet ? 240 : (isTallPhone() ? 155 : 105);
    _clearButton = sideButton("clear", tablet ? Rect{0, buttonY, 102, 60} : Rect{0, buttonY, 51, 30},
                              &ViewController::clearSetting);
    _randomButton = sideButton("random", tablet ? Rect{appW - 128, buttonY, 128, 60} : Rect{appW - 64, buttonY, 64, 30},
                               &ViewController::randomSetting);

    _textView = TextView::create();
    _textView->setFont(Font::systemFont(m.fontSize));
    _textView->setDelegate(std::weak_ptr<TextViewDelegate>(selfPtr()));
    _textView->setFrame({0, 0, m.textViewWidth, m.minimumHeight});
    _textView->setScrollEnabled(isModernSystem());
    _textView->setSpellCheckingEnabled(false);
    _textView->setCenter({appW / 2, _randomButton->center().y});
    root->addSubview(_textView);
    _textView->setBackgroundColor(defaultBackgroundColor());
    _textView->setBorderColor(Color::lightGrayColor());
    _textView->setBorderWidth(1);
    _textView->setCornerRadius(8);
    _textView->setClipsToBounds(true);
    _textView->setTextColor(Color::whiteColor());

    _textBgView = ImageView::create(Rect{0, 0, m.textViewWidth, m.textViewWidth});
    _textView->addSubview(_textBgView);
    _textView->sendSubviewToBack(_textBgView);

    double panelHeight = optionsPanelHeight();
    _optionsView = OptionsView::create({0, appH - panelHeight, appW, panelHeight});
    _optionsView->setDelegate(std::weak_ptr<OptionsViewDelegate>(selfPtr()));
    root->addSubview(_optionsView);

    auto& center = NotificationCenter::defaultCenter();
    center.addObserver(KeyboardWillChangeFrameNotification, this, [weak](const Notification& n) {
        if (auto self = weak.lock())
            self->keyboardWasChange(n);
    });
    center.addObserver(KeyboardWillHideNotification, this, [weak](const Notification&) {
        if (auto self = weak.lock())
            self->keyboardWasHidden();
    });

    initBanner();
}

// ---- actions ----

void ViewController::showInfo()
{
    if (auto unit = PromotionUnit::currentInstance())
        unit->showAdWithType(2);
}

void ViewController::send()
{
    _textView->resignFirstResponder();
    auto picture = renderMessagePicture();

    // A composer that could not be shown would swallow the picture: with something
    // already over the editor, the pasteboard takes it instead.
    bool canPresent = !presentedViewController() && view()->window();
    if (isModernSystem() && canPresent && MessageComposer::canSendAttachments()) {
        auto composer = MessageComposer::create();
        composer->setMessageComposeDelegate(std::weak_ptr<MessageComposeDelegate>(selfPtr()));
        ++_identify;
        if (composer->addAttachmentData(picture, fmt::format("{}", _identify), "velvetQuill.jpg")) {
            presentViewController(composer, true);
            return;
        }
    }
    showInstructions(picture);
}

std::vector<std::uint8_t> ViewController::renderMessagePicture() const
{
    bool modern = isModernSystem();
    bool tablet = isTablet();
    double copyWidth = tablet ? 215 : 150;

    auto copy = TextView::create();
    copy->setBackgroundColor(Color::clearColor());
    // The font before the text: text set first is measured in the default font,
    // a size nothing else uses, for nothing.
    const Font& font = _textView->font();
    copy->setFont(Font::fontWithName(font.fontName(), font.pointSize()).value_or(font));
    copy->setText(_textView->text());
    copy->setTextColor(_textView->textColor());
    copy->setScrollEnabled(false);
    if (modern)
        copy->setFrame({0, 0, copyWidth, getTextHeight(*copy) + 20});
    else
        copy->setFrame({0, 0, copyWidth, _textView->contentSize().height});

    auto card = ImageView::create();
    card->setImage(_textBgView->image());
    card->setBackgroundColor(_textView->backgroundColor());
    double side = modern ? (tablet ? 245 : 170) : (tablet ? 215 : 150);
    card->setFrame({0, 0, side, side});
    if (modern)
        copy->setCenter({side / 2, side / 2});
    card->addSubview(copy);

    // Before 7.0 only the strip as tall as the text is drawn.
    Size size = modern ? card->frame().size : copy->frame().size;
    return renderViewAsJpeg(*card, size, Screen::main().scale(), 1.0);
}

void ViewController::showInstructions(const std::vector<std::uint8_t>& jpeg)
{
    Pasteboard::general().setData(jpeg, Pasteboard::typeListImage().front());
    auto alert = AlertView::create("Send to Contact",
                                   "1. Tap Send\n2. Choose the recipient\n3. Hold down on the message field and click "
                                   "paste\n4. Send your message",
                                   std::weak_ptr<AlertViewDelegate>(selfPtr()), "OK", {"Send"});
    alert->setTag(kInstructionsAlertTag);
    alert->show();
}

void ViewController::alertViewDidDismissWithButtonIndex(AlertView& alertView, int buttonIndex)
{
    if (alertView.tag() == kInstructionsAlertTag && buttonIndex != alertView.cancelButtonIndex())
        Application::shared().openURL("sms://");
}

void ViewController::messageComposeViewController(MessageComposer& composer, MessageComposeResult result)
{
    if (result == MessageComposeResult::Failed)
        AlertView::create("Error", "Failed to send SMS!", {}, "OK")->show();
    composer.dismissViewController(true);
}

void ViewController::clearSetting()
{
    _textView->setText("");
    _previousText = _textView->text();
    _textView->setFont(Font::systemFont(metrics().fontSize));
    changeFont(_textView->font());
    changeTextColor(Color::whiteColor());
    changeBgColor(defaultBackgroundColor());
}

void ViewController::randomSetting()
{
    _textView->resignFirstResponder();
    _optionsView->random();
}

// ---- message rules ----

namespace {
// Shorter replacements are what keys type: too small to matter, so the usual
// show-then-undo applies to them without an extra measure per keystroke.
constexpr std::size_t kShortestPasteChecked = 16;
} // namespace

double ViewController::getTextHeight(const TextView& textView) const
{
    if (!isModernSystem())
        return textView.contentSize().height;
    // Each keystroke measures the text before and after the edit; the "before"
    // is usually what the last keystroke measured as its "after".
    Font font = textView.typingAttributes().font;
    double width = metrics().measuringWidth;
    if (_lastMeasure && _lastMeasure->width == width && _lastMeasure->font == font && _lastMeasure->text == textView.text())
        return _lastMeasure->height;
    double h = heightWithin(textView.text(), metrics().upperTextLimit,
                            [&](const std::string& s) { return measureText(s, font, width).height; });
    _lastMeasure = LastMeasure{textView.text(), font, width, h};
    return h;
}

void ViewController::fitTextView(double h, bool addPad)
{
    auto m = metrics();
    double height = h < m.minimumHeight ? m.minimumHeight : (addPad ? h + m.heightPad : h);
    _textView->setFrame({0, 0, _textView->frame().width(), height});
    _textView->setCenter({appFrame().width() / 2, _randomButton->center().y});
}

bool ViewController::textViewShouldChangeTextInRange(TextView& textView, TextRange, const std::string& replacement)
{
    if (replacement == "\n") {
        textView.resignFirstResponder();
        return false;
    }
    // Still over the limit: an undo is on its way, so nothing changes until then.
    if (getTextHeight(textView) > metrics().upperTextLimit)
        return false;
    // A paste taller by itself than the limit can never fit: refused before the
    // text view lays it out, which for a pasted book took seconds only to be undone.
    if (replacement.size() > kShortestPasteChecked) {
        Font font = textView.typingAttributes().font;
        double width = isModernSystem() ? metrics().measuringWidth : textView.textWidth();
        double h = heightWithin(replacement, metrics().upperTextLimit,
                                [&](const std::string& s) { return measureText(s, font, width).height; });
        if (h > metrics().upperTextLimit)
            return false;
    }
    _previousText = textView.text();
    return true;
}

void ViewController::textViewDidChange(TextView& textView)
{
    double h = getTextHeight(textView);
    if (h > metrics().upperTextLimit) {
        // Shown for a moment so the user sees why the edit did not stick.
        std::weak_ptr<TextView> weakText = std::static_pointer_cast<TextView>(textView.self());
        std::string restore = _previousText.value_or("");
        _pendingUndo = RunLoop::main().performAfter(kUndoDelay, [weakText, restore] {
            if (auto tv = weakText.lock())
                tv->setText(restore);
        });
        return;
    }
    fitTextView(h, isModernSystem());
    _previousText = textView.text();
}

double ViewController::shortcutInput()
{
    std::function<double(const std::string&)> measure;
    if (isModernSystem()) {
        Font font = _textView->typingAttributes().font;
        double width = metrics().measuringWidth;
        measure = [font, width](const std::string& s) { return measureText(s, font, width).height; };
    } else {
        measure = [this](const std::string& s) {
            _textView->setText(s);
            return getTextHeight(*_textView);
        };
    }
    auto trimmed = trimToFit(_textView->text(), metrics().upperTextLimit, measure);
    _textView->setText(trimmed.text);
    return trimmed.height;
}

// ---- style ----

void ViewController::changeTextColor(const Color& color) { _textView->setTextColor(color); }

void ViewController::changeBgColor(const Color& color)
{
    _textView->setBackgroundColor(color);
    _textBgView->setImage(nullptr);
}

void ViewController::changeTextureView(const std::string& name)
{
    _textView->setBackgroundColor(Color::clearColor());
    // A missing picture leaves the texture empty; the image lookup logs its name.
    _textBgView->setImage(Image::imageNamed(name));
}

void ViewController::changeFont(const Font& font)
{
    // The last accepted text comes back at once, so a pending undo has nothing left to do.
    if (_pendingUndo) {
        _pendingUndo->invalidate();
        _pendingUndo.reset();
    }
    _textView->setText(_previousText.value_or(""));
    _textView->setFont(font);
    double h = getTextHeight(*_textView);
    if (h > metrics().upperTextLimit)
        h = shortcutInput();
    fitTextView(h, true);
}

void ViewController::resign() { _textView->resignFirstResponder(); }

// ---- keyboard ----

void ViewController::keyboardWasChange(const Notification& notification)
{
    auto end = notification.rect(KeyboardFrameEndUserInfoKey);
    if (!end)
        return;
    double tabHeight = _optionsView->textColorButton() ? _optionsView->textColorButton()->frame().height() : 0;
    adjustOptionsView(appFrame().height() - (end->height() + tabHeight));
}

void ViewController::keyboardWasHidden() { adjustOptionsView(appFrame().height() - _optionsView->frame().height()); }

void ViewController::adjustOptionsView(double y)
{
    View::animate(kPanelAnimation, [&] {
        Rect panel = _optionsView->frame();
        _optionsView->setFrame({0, y, panel.width(), panel.height()});
        double middle = y / 2 + _navBar->frame().height() / 2;
        for (const std::shared_ptr<View>& v : {std::static_pointer_cast<View>(_randomButton),
                                               std::static_pointer_cast<View>(_clearButton),
                                               std::static_pointer_cast<View>(_textView)})
            v->setCenter({v->center().x, middle});
    });
}

// ---- banner slot ----

void ViewController::initBanner()
{
    _bannerView = BannerView::create(AdSize::SmartBannerPortrait);
    _bannerView->setBackgroundColor(Color::blackColor());
    Rect frame = view()->frame();
    _bannerView->setCenter({frame.width() / 2, frame.height() - _bannerView->frame().height() / 2});
    _bannerView->setDelegate(std::weak_ptr<BannerViewDelegate>(selfPtr()));
    _bannerView->setRootViewController(std::weak_ptr<vq::ViewController>(selfPtr()));
    auto unit = PromotionUnit::currentInstance();
    _bannerView->setAdUnitID(unit ? unit->bannerKey() : std::nullopt);
    _bannerView->loadRequest(createRequest());
    if (!_bannerView->adUnitID()) {
        std::weak_ptr<ViewController> weak = selfPtr();
        _bannerTimer = Timer::scheduledTimer(kBannerKeyPollInterval, true, [weak](Timer& timer) {
            if (auto self = weak.lock())
                self->checkBannerKey();
            else
                timer.invalidate();
        });
    }
}

AdRequest ViewController::createRequest() const
{
    auto request = AdRequest::request();
    auto path = Bundle::main().pathForResource("AdsWhiteList", "plist");
    if (!path)
        return request;
    auto bytes = readFile(*path);
    auto list = bytes ? parsePropertyList(*bytes) : std::nullopt;
    if (!list || !list->array())
        return request;
    std::vector<std::string> devices;
    for (const auto& entry : *list->array())
        if (auto s = entry.string())
            devices.push_back(*s);
    request.setTestDevices(std::move(devices));
    return request;
}

void ViewController::checkBannerKey()
{
    auto unit = PromotionUnit::currentInstance();
    auto key = unit ? unit->bannerKey() : std::nullopt;
    if (!key)
        return;
    _bannerView->setAdUnitID(key);
    _bannerView->loadRequest(createRequest());
    if (_bannerTimer)
        _bannerTimer->invalidate();
}

void ViewController::adViewDidReceiveAd(BannerView& bannerView)
{
    log("SUSSS");
    if (_isAdShown)
        return;
    _isAdShown = true;
    view()->addSubview(bannerView.self());
    _optionsView->spareADSpace(bannerView.frame().height());
}

} // namespace vq::app
