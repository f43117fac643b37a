#include "ui/Button.h"

#include "graphics/GraphicsContext.h"
#include "graphics/Image.h"
#include "graphics/TextLayout.h"

#include <algorithm>

namespace vq {

namespace {

// The entry of a state in a button's per-state values, or end().
template<typename Values>
auto entryFor(Values& values, ControlState state)
{
    return std::find_if(values.begin(), values.end(), [state](const auto& entry) { return entry.first == state; });
}

template<typename T>
const T* valueFor(const std::vector<std::pair<ControlState, T>>& values, ControlState state)
{
    auto it = entryFor(values, state);
    return it == values.end() ? nullptr : &it->second;
}

} // namespace

std::shared_ptr<Button> Button::create(Rect frame) { return std::shared_ptr<Button>(new Button(frame)); }

Button::Button() = default;

Button::Button(Rect frame) : Control(frame) {}

template<typename T>
void Button::assign(PerState<T>& values, ControlState state, std::optional<T> value)
{
    auto it = entryFor(values, state);
    if (!value) {
        if (it != values.end())
            values.erase(it);
    } else if (it != values.end()) {
        it->second = std::move(*value);
    } else {
        values.emplace_back(state, std::move(*value));
    }
}

template<typename T>
std::optional<T> Button::lookup(const PerState<T>& values, ControlState state) const
{
    if (const T* own = valueFor(values, state))
        return *own;
    // A selected button being pressed shows its selected look before the plain one.
    if (state == ControlState::Highlighted && isSelected())
        if (const T* selected = valueFor(values, ControlState::Selected))
            return *selected;
    if (const T* normal = valueFor(values, ControlState::Normal))
        return *normal;
    return std::nullopt;
}

void Button::setTitle(std::optional<std::string> title, ControlState state)
{
    assign(_titles, state, std::move(title));
    setNeedsDisplay();
}

std::optional<std::string> Button::titleForState(ControlState state) const { return lookup(_titles, state); }

void Button::setTitleColor(std::optional<Color> color, ControlState state)
{
    assign(_titleColors, state, color);
    setNeedsDisplay();
}

Color Button::titleColorForState(ControlState state) const
{
    // Custom buttons title in white unless told otherwise.
    return lookup(_titleColors, state).value_or(Color::whiteColor());
}

void Button::setImage(std::shared_ptr<Image> image, ControlState state)
{
    assign(_images, state, image ? std::optional(std::move(image)) : std::nullopt);
    setNeedsDisplay();
}

std::shared_ptr<Image> Button::imageForState(ControlState state) const
{
    return lookup(_images, state).value_or(nullptr);
}

void Button::setBackgroundImage(std::shared_ptr<Image> image, ControlState state)
{
    assign(_backgroundImages, state, image ? std::optional(std::move(image)) : std::nullopt);
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
