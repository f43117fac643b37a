#include "system/AlertView.h"

#include "core/EventHub.h"
#include "graphics/Font.h"
#include "graphics/GraphicsContext.h"
#include "graphics/Screen.h"
#include "graphics/TextLayout.h"
#include "system/Application.h"
#include "ui/Window.h"

#include <algorithm>

namespace vq {

namespace {

constexpr double kPadding = 16;
constexpr double kTopPadding = 20;
constexpr double kTitleMessageGap = 4;
constexpr double kCornerRadius = 7;
const Color kSeparator = Color::white(0.8f);
const Color kButtonText = Color::rgb255(0, 122, 255);
const Color kHighlight = Color::white(0.85f);

std::vector<std::shared_ptr<AlertView>>& visible()
{
    static std::vector<std::shared_ptr<AlertView>> alerts;
    return alerts;
}

Font titleFont() { return Font::boldSystemFont(17); }
Font messageFont() { return Font::systemFont(13); }

} // namespace

std::shared_ptr<AlertView> AlertView::create(std::string title, std::string message,
                                             std::weak_ptr<AlertViewDelegate> delegate,
                                             std::optional<std::string> cancelButtonTitle,
                                             std::vector<std::string> otherButtonTitles)
{
    auto alert = std::shared_ptr<AlertView>(new AlertView());
    alert->_title = std::move(title);
    alert->_message = std::move(message);
    alert->_delegate = std::move(delegate);
    if (cancelButtonTitle) {
        alert->_buttons.push_back(std::move(*cancelButtonTitle));
        alert->_cancelIndex = 0;
    }
    for (auto& t : otherButtonTitles)
        alert->_buttons.push_back(std::move(t));
    return alert;
}

AlertView::AlertView()
{
    setBackgroundColor(Color::white(0.97f));
    setCornerRadius(kCornerRadius);
    setClipsToBounds(true);
}

AlertView::~AlertView() = default;

void AlertView::setTitle(std::string title)
{
    _title = std::move(title);
    if (_window)
        layoutAlert();
    setNeedsDisplay();
}

void AlertView::setMessage(std::string message)
{
    _message = std::move(message);
    if (_window)
        layoutAlert();
    setNeedsDisplay();
}

int AlertView::addButtonWithTitle(std::string title)
{
    _buttons.push_back(std::move(title));
    if (_window)
        layoutAlert();
    return numberOfButtons() - 1;
}

std::optional<std::string> AlertView::buttonTitleAtIndex(int index) const
{
    if (index < 0 || index >= numberOfButtons())
        return std::nullopt;
    return _buttons[static_cast<std::size_t>(index)];
}

std::vector<int> AlertView::visualOrder() const
{
    std::vector<int> order;
    if (numberOfButtons() == 2) {
        order = {0, 1};
        return order;
    }
    // Stacked: the others in order, the cancel button last.
    for (int i = 0; i < numberOfButtons(); ++i)
        if (i != _cancelIndex)
            order.push_back(i);
    if (_cancelIndex >= 0)
        order.push_back(_cancelIndex);
    return order;
}

Rect AlertView::buttonFrame(int index) const
{
    if (index < 0 || index >= numberOfButtons())
        return {};
    auto order = visualOrder();
    auto slot = static_cast<double>(std::find(order.begin(), order.end(), index) - order.begin());
    double top = bounds().height() - (numberOfButtons() == 2 ? 1 : numberOfButtons()) * kButtonHeight;
    if (numberOfButtons() == 2)
        return {slot * kWidth / 2, top, kWidth / 2, kButtonHeight};
    return {0, top + slot * kButtonHeight, kWidth, kButtonHeight};
}

void AlertView::layoutAlert()
{
    double textWidth = kWidth - 2 * kPadding;
    _titleHeight = _title.empty() ? 0 : measureText(_title, titleFont(), textWidth).height;
    _messageHeight = _message.empty() ? 0 : measureText(_message, messageFont(), textWidth).height;
    double textHeight = _titleHeight + _messageHeight + (_titleHeight > 0 && _messageHeight > 0 ? kTitleMessageGap : 0);
    int rows = numberOfButtons() == 2 ? 1 : numberOfButtons();
    double height = kTopPadding + textHeight + kTopPadding + rows * kButtonHeight;
    Rect area = _window ? _window->bounds() : Screen::main().bounds();
    setFrame({area.midX() - kWidth / 2, area.midY() - height / 2, kWidth, height});
}

void AlertView::show()
{
    if (_window)
        return;
    _dismissing = false;
    _window = Window::create(Screen::main().bounds());
    _window->setWindowLevel(WindowLevel::Alert);
    _window->setBackgroundColor(Color::blackColor().withAlpha(0.4f));
    _window->addSubview(self());
    layoutAlert();
    visible().push_back(std::static_pointer_cast<AlertView>(self()));
    EventHub::shared().publish(AlertShown{*this});
}

void AlertView::dismissWithClickedButtonIndex(int index, bool animated)
{
    if (!isVisible())
        return;
    _dismissing = true;
    _highlighted = -1;
    auto keep = std::static_pointer_cast<AlertView>(self());
    std::erase(visible(), keep);
    _window->setUserInteractionEnabled(false);
    if (!animated) {
        finishDismissal(index);
        return;
    }
    auto window = _window;
    View::animate(
        kDismissDuration, [&] { window->setAlpha(0); }, [keep, index](bool) { keep->finishDismissal(index); });
}

void AlertView::finishDismissal(int index)
{
    if (!_window)
        return;
    auto keep = std::static_pointer_cast<AlertView>(self());
    _window->takeOffScreen();
    removeFromSuperview();
    _window.reset();
    _dismissing = false;
    if (auto d = delegate())
        d->alertViewDidDismissWithButtonIndex(*this, index);
}

std::vector<std::shared_ptr<AlertView>> AlertView::visibleAlerts() { return visible(); }

void AlertView::resetForTests()
{
    for (auto& alert : std::vector(visible())) {
        if (alert->_window)
            alert->_window->takeOffScreen();
        alert->removeFromSuperview();
        alert->_window.reset();
        alert->_dismissing = false;
    }
    visible().clear();
}

int AlertView::buttonAt(Point p) const
{
    for (int i = 0; i < numberOfButtons(); ++i)
        if (buttonFrame(i).contains(p))
            return i;
    return -1;
}

void AlertView::draw(GraphicsContext& context)
{
    double textWidth = kWidth - 2 * kPadding;
    double y = kTopPadding;
    if (!_title.empty()) {
        TextLayout title(_title, titleFont(), textWidth, TextAlignment::Center);
        title.draw(context, {kPadding, y}, Color::blackColor());
        y += _titleHeight + kTitleMessageGap;
    }
    if (!_message.empty()) {
        TextLayout message(_message, messageFont(), textWidth, TextAlignment::Center);
        message.draw(context, {kPadding, y}, Color::blackColor());
    }
    for (int i = 0; i < numberOfButtons(); ++i) {
        Rect r = buttonFrame(i);
        if (i == _highlighted)
            context.fillRect(r, kHighlight);
        context.strokeLine({r.minX(), r.minY() + 0.25}, {r.maxX(), r.minY() + 0.25}, 0.5, kSeparator);
        if (r.minX() > 0)
            context.strokeLine({r.minX() + 0.25, r.minY()}, {r.minX() + 0.25, r.maxY()}, 0.5, kSeparator);
        Font font = i == _cancelIndex ? Font::boldSystemFont(17) : Font::systemFont(17);
        TextLayout label(_buttons[static_cast<std::size_t>(i)], font, r.width() - 8, TextAlignment::Center,
                         LineBreakMode::TruncateMiddle, 1);
        double labelHeight = label.size().height;
        label.draw(context, {r.minX() + 4, r.midY() - labelHeight / 2}, kButtonText);
    }
}

void AlertView::touchesBegan(const Touch& touch)
{
    _touchButton = buttonAt(touch.locationIn(*this));
    _highlighted = _touchButton;
    setNeedsDisplay();
}

void AlertView::touchesMoved(const Touch& touch)
{
    int over = buttonAt(touch.locationIn(*this));
    int highlighted = over == _touchButton ? _touchButton : -1;
    if (highlighted != _highlighted) {
        _highlighted = highlighted;
        setNeedsDisplay();
    }
}

void AlertView::touchesEnded(const Touch& touch)
{
    int button = _touchButton;
    _touchButton = -1;
    _highlighted = -1;
    setNeedsDisplay();
    if (button < 0 || buttonAt(touch.locationIn(*this)) != button || !isVisible())
        return;
    auto keep = std::static_pointer_cast<AlertView>(self());
    if (auto d = delegate())
        d->alertViewClickedButtonAtIndex(*this, button);
    dismissWithClickedButtonIndex(button, true);
}

void AlertView::touchesCancelled(const Touch&)
{
    _touchButton = -1;
    _highlighted = -1;
    setNeedsDisplay();
}

} // namespace vq
