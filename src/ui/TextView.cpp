#include "ui/TextView.h"

#include "graphics/Graphemes.h"
#include "graphics/GraphicsContext.h"

#include <algorithm>
#include <vector>

namespace vq {

namespace {

constexpr double kCaretWidth = 2;
const Color kCaretColor = Color::rgb255(0, 122, 255);

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

} // namespace

std::shared_ptr<TextView> TextView::create(Rect frame) { return std::shared_ptr<TextView>(new TextView(frame)); }

TextView::TextView() : _font(Font::systemFont(12)) { updateContentSize(); }

TextView::TextView(Rect frame) : ScrollView(frame), _font(Font::systemFont(12)) { updateContentSize(); }

void TextView::setText(const std::string& text)
{
    _text = repairUtf8(text);
    _selectedRange = {_text.size(), 0};
    textDidChange();
}

void TextView::setFont(const Font& font)
{
    _font = font;
    textDidChange();
}

void TextView::setTextColor(Color color)
{
    _textColor = color;
    setNeedsDisplay();
}

void TextView::setTextAlignment(TextAlignment alignment)
{
    _alignment = alignment;
    setNeedsDisplay();
}

void TextView::setEditable(bool editable)
{
    _editable = editable;
    if (!editable && isFirstResponder())
        resignFirstResponder();
}

TextRange TextView::clamped(TextRange range) const
{
    std::size_t start = std::min(range.location, _text.size());
    std::size_t end = std::min(_text.size(), start + std::min(range.length, _text.size() - start));
    // Never split a UTF-8 sequence.
    while (start > 0 && start < _text.size() && isContinuationByte(_text[start]))
        --start;
    while (end < _text.size() && isContinuationByte(_text[end]))
        ++end;
    return {start, end - start};
}

void TextView::setSelectedRange(TextRange range)
{
    _selectedRange = clamped(range);
    setNeedsDisplay();
}

void TextView::insertText(const std::string& text)
{
    if (_editable)
        edit(_selectedRange, repairUtf8(text));
}

void TextView::deleteBackward()
{
    if (!_editable)
        return;
    if (_selectedRange.length > 0) {
        edit(_selectedRange, {});
        return;
    }
    std::size_t caret = _selectedRange.location;
    if (caret == 0)
        return;
    // An emoji with its modifiers or a letter with its combining marks goes
    // as one.
    std::size_t start = previousGraphemeBoundary(_text, caret);
    edit({start, caret - start}, {});
}

bool TextView::edit(TextRange range, const std::string& replacement)
{
    auto keep = weak_from_this().lock();
    range = clamped(range);
    if (auto d = delegate(); d && !d->textViewShouldChangeTextInRange(*this, range, replacement))
        return false;
    // The delegate may have replaced the text while it was asked.
    range = clamped(range);
    _text.replace(range.location, range.length, replacement);
    _selectedRange = {range.location + replacement.size(), 0};
    textDidChange();
    if (isScrollEnabled() && isFirstResponder()) {
        if (maxContentOffset() == Point{}) {
            // Everything shows: wherever the caret is, the text sits at the top, and
            // no layout is needed to find it (a whole layout of the text a keystroke).
            setContentOffset({}, false);
        } else {
            TextLayout layout(_text, _font, textWidth(), _alignment);
            Rect caret = layout.caretRect(_selectedRange.location);
            scrollRectToVisible({kLinePadding + caret.x(), caret.y(), kCaretWidth, caret.height() + kInsetTop + kInsetBottom},
                                false);
        }
    }
    if (auto d = delegate())
        d->textViewDidChange(*this);
    return true;
}

void TextView::textDidChange()
{
    updateContentSize();
    setNeedsDisplay();
}

double TextView::textWidth() const { return std::max(0.0, bounds().width() - 2 * kLinePadding); }

void TextView::updateContentSize()
{
    // An empty text still has the height of one line.
    double text = _text.empty() ? oneLineHeight(_font) : measureText(_text, _font, textWidth()).height;
    setContentSize({bounds().width(), text + kInsetTop + kInsetBottom});
}

void TextView::setFrame(Rect frame)
{
    double oldWidth = bounds().width();
    ScrollView::setFrame(frame);
    if (bounds().width() != oldWidth)
        updateContentSize();
}

void TextView::layoutSubviews()
{
    ScrollView::layoutSubviews();
    updateContentSize();
}

void TextView::drawOverSubviews(GraphicsContext& context)
{
    TextLayout layout(_text, _font, textWidth(), _alignment);
    if (!_text.empty())
        layout.draw(context, {kLinePadding, kInsetTop}, _textColor);
    if (isFirstResponder()) {
        Rect caret = layout.caretRect(_selectedRange.location);
        context.fillRect({kLinePadding + caret.x(), kInsetTop + caret.y(), kCaretWidth, caret.height()}, kCaretColor);
    }
}

void TextView::didBecomeFirstResponder()
{
    setNeedsDisplay();
    if (auto d = delegate())
        d->textViewDidBeginEditing(*this);
}

void TextView::didResignFirstResponder()
{
    setNeedsDisplay();
    if (auto d = delegate())
        d->textViewDidEndEditing(*this);
}

void TextView::tapDidEnd(Point) { becomeFirstResponder(); }

} // namespace vq
