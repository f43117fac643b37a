#include "ui/Button.h"

#include "graphics/GraphicsContext.h"
#include "graphics/Image.h"
#include "graphics/TextLayout.h"

#include <algorithm>

namespace vq {

namespace {

std::size_t slot(ControlState state) { return static_cast<std::size_t>(state); }

} // namespace

std::shared_ptr<Button> Button::create(Rect frame) { return std::shared_ptr<Button>(new Button(frame)); }

Button::Button() = default;

Button::Button(Rect frame) : Control(frame) {}

template<typename T>
std::optional<T> Button::lookup(const PerState<T>& values, ControlState state) const
{
    if (values[slot(state)])
        return values[slot(state)];
    // A selected button being pressed shows its selected look before the plain one.
    if (state == ControlState::Highlighted && isSelected() && values[slot(ControlState::Selected)])
        return values[slot(ControlState::Selected)];
    return values[slot(ControlState::Normal)];
}

void Button::setTitle(std::optional<std::string> title, ControlState state)
{
    _titles[slot(state)] = std::move(title);
    setNeedsDisplay();
}

std::optional<std::string> Button::titleForState(ControlState state) const { return lookup(_titles, state); }

void Button::setTitleColor(std::optional<Color> color, ControlState state)
{
    _titleColors[slot(state)] = color;
    setNeedsDisplay();
}

Color Button::titleColorForState(ControlState state) const
{
    // Custom buttons title in white unless told otherwise.
    return lookup(_titleColors, state).value_or(Color::whiteColor());
}

void Button::setImage(std::shared_ptr<Image> image, ControlState state)
{
    _images[slot(state)] = image ? std::optional(std::move(image)) : std::nullopt;
    setNeedsDisplay();
}

std::shared_ptr<Image> Button::imageForState(ControlState state) const
{
    return lookup(_images, state).value_or(nullptr);
}

void Button::setBackgroundImage(std::shared_ptr<Image> image, ControlState state)
{
    _backgroundImages[slot(state)] = image ? std::optional(std::move(image)) : std::nullopt;
    setNeedsDisplay();
}

std::shared_ptr<Image> Button::backgroundImageForState(ControlState state) const
{
    return lookup(_backgroundImages, state).value_or(nullptr);
}

const Font& Button::titleFont() const
{
    if (!_titleFont)
        _titleFont = Font::systemFont(15);
    return *_titleFont;
}

void Button::setTitleFont(const Font& font)
{
    _titleFont = font;
    setNeedsDisplay();
}

Size Button::titleSize() const
{
    auto title = currentTitle();
    if (!title || title->empty())
        return {};
    return TextLayout(*title, titleFont()).size();
}

Size Button::sizeThatFits(Size) const
{
    Size text = titleSize();
    auto image = currentImage();
    Size imageSize = image ? image->size() : Size{};
    Size fit{text.width + imageSize.width, std::max(text.height, imageSize.height)};
    if (fit.width <= 0 && fit.height <= 0)
        if (auto background = currentBackgroundImage())
            return background->size();
    return fit;
}

void Button::draw(GraphicsContext& context)
{
    Rect b = bounds();
    if (auto background = currentBackgroundImage())
        context.drawImage(*background, b);

    auto image = currentImage();
    auto title = currentTitle();
    bool hasTitle = title && !title->empty();
    Size imageSize = image ? image->size() : Size{};
    if (image && (imageSize.width > b.width() || imageSize.height > b.height())) {
        double s = std::min(b.width() / imageSize.width, b.height() / imageSize.height);
        imageSize = {imageSize.width * s, imageSize.height * s};
    }
    // The title takes what the image leaves and is cut at the end when too long.
    double titleRoom = std::max(0.0, b.width() - imageSize.width);
    std::optional<TextLayout> layout;
    Size textSize;
    if (hasTitle) {
        layout.emplace(*title, titleFont(), titleRoom, TextAlignment::Left, LineBreakMode::TruncateTail, 1);
        textSize = layout->size();
    }
    double x = b.minX() + (b.width() - imageSize.width - textSize.width) / 2;
    if (image) {
        context.drawImage(*image, {x, b.minY() + (b.height() - imageSize.height) / 2, imageSize.width, imageSize.height});
        x += imageSize.width;
    }
    if (layout)
        layout->draw(context, {x, b.minY() + (b.height() - textSize.height) / 2}, currentTitleColor());
}

} // namespace vq
