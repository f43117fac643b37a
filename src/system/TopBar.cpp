#include "system/TopBar.h"

#include "ui/Button.h"

namespace vq {

namespace {

constexpr double kButtonInset = 10;

} // namespace

std::shared_ptr<View> TopBar::addTo(View& root)
{
    auto bar = View::create(Rect{0, 0, root.frame().width(), kHeight});
    bar->setBackgroundColor(Color::rgb255(247, 247, 247));
    root.addSubview(bar);
    return bar;
}

std::shared_ptr<Button> TopBar::addButton(View& bar, End end, const std::string& title, const Font& font,
                                          std::function<void()> action)
{
    auto button = Button::create();
    button->setTitle(title, ControlState::Normal);
    button->setTitleFont(font);
    button->setTitleColor(Color::rgb255(20, 96, 255), ControlState::Normal);
    button->addAction(ControlEvent::TouchUpInside, std::move(action));
    button->sizeToFit();
    double half = button->frame().width() / 2;
    double x = end == End::Left ? kButtonInset + half : bar.frame().width() - kButtonInset - half;
    button->setCenter({x, kHeight / 2});
    bar.addSubview(button);
    return button;
}

} // namespace vq
