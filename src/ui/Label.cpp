#include "ui/Label.h"

#include "graphics/GraphicsContext.h"

#include <algorithm>
#include <cmath>

namespace vq {

std::shared_ptr<Label> Label::create() { return std::shared_ptr<Label>(new Label()); }

std::shared_ptr<Label> Label::create(Rect frame) { return std::shared_ptr<Label>(new Label(frame)); }

Label::Label() { setUserInteractionEnabled(false); }

Label::Label(Rect frame) : View(frame) { setUserInteractionEnabled(false); }

void Label::changed()
{
    _layout.reset();
    setNeedsDisplay();
}

void Label::setText(std::string text)
{
    if (text == _text)
        return;
    _text = std::move(text);
    changed();
}

void Label::setFont(Font font)
{
    if (font == _font)
        return;
    _font = std::move(font);
    changed();
}

void Label::setTextColor(Color color)
{
    if (color == _textColor)
        return;
    _textColor = color;
    setNeedsDisplay();
}

void Label::setHighlightedTextColor(std::optional<Color> color)
{
    _highlightedTextColor = color;
    setNeedsDisplay();
}

void Label::setHighlighted(bool highlighted)
{
    if (highlighted == _highlighted)
        return;
    _highlighted = highlighted;
    setNeedsDisplay();
}

void Label::setTextAlignment(TextAlignment alignment)
{
    if (alignment == _alignment)
        return;
    _alignment = alignment;
    changed();
}

void Label::setNumberOfLines(int lines)
{
    lines = std::max(0, lines);
    if (lines == _numberOfLines)
        return;
    _numberOfLines = lines;
    changed();
}

void Label::setLineBreakMode(LineBreakMode mode)
{
    if (mode == _lineBreakMode)
        return;
    _lineBreakMode = mode;
    changed();
}

Size Label::sizeThatFits(Size size) const
{
    if (_text.empty())
        return {};
    double width = _numberOfLines == 1 ? 0 : std::max(0.0, size.width);
    TextLayout layout(_text, _font, width, _alignment, _lineBreakMode, _numberOfLines);
    Size s = layout.size();
    return {std::ceil(s.width - 1e-6), std::ceil(s.height - 1e-6)};
}

const TextLayout& Label::layoutFor(const Rect& bounds) const
{
    if (!_layout || _layoutBoundsSize != bounds.size) {
        // No more lines than fit in the bounds (always at least one).
        int fit = std::max(1, static_cast<int>(std::floor(bounds.height() / _font.lineHeight() + 1e-6)));
        int lines = _numberOfLines == 0 ? fit : std::min(_numberOfLines, fit);
        _layout = std::make_unique<TextLayout>(_text, _font, bounds.width(), _alignment, _lineBreakMode, lines);
        _layoutBoundsSize = bounds.size;
    }
    return *_layout;
}

void Label::draw(GraphicsContext& context)
{
    if (_text.empty())
        return;
    Rect bounds = presentationBounds();
    if (bounds.width() <= 0)
        return;
    const TextLayout& layout = layoutFor(bounds);
    double y = bounds.y() + (bounds.height() - layout.size().height) / 2;
    Color color = _highlighted && _highlightedTextColor ? *_highlightedTextColor : _textColor;
    layout.draw(context, {bounds.x(), y}, color);
}

} // namespace vq
