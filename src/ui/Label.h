#pragma once

#include "graphics/Color.h"
#include "graphics/Font.h"
#include "graphics/TextLayout.h"
#include "ui/View.h"

#include <memory>
#include <optional>
#include <string>

namespace vq {

// Read-only text, laid out by Pango within its bounds and centred vertically,
// as a phone label is. Ignores touches until user interaction is enabled.
class Label : public View {
public:
    static std::shared_ptr<Label> create();
    static std::shared_ptr<Label> create(Rect frame);

    const char* className() const override { return "Label"; }

    const std::string& text() const { return _text; }
    void setText(std::string text);
    const Font& font() const { return _font; }
    void setFont(Font font);
    Color textColor() const { return _textColor; }
    void setTextColor(Color color);
    // Used while highlighted, when set.
    std::optional<Color> highlightedTextColor() const { return _highlightedTextColor; }
    void setHighlightedTextColor(std::optional<Color> color);
    bool isHighlighted() const { return _highlighted; }
    void setHighlighted(bool highlighted);
    TextAlignment textAlignment() const { return _alignment; }
    void setTextAlignment(TextAlignment alignment);
    // 0: as many lines as the text needs.
    int numberOfLines() const { return _numberOfLines; }
    void setNumberOfLines(int lines);
    LineBreakMode lineBreakMode() const { return _lineBreakMode; }
    void setLineBreakMode(LineBreakMode mode);

    // The text's size, rounded up: one line at its full width when the label
    // has one line, else wrapped to size.width.
    Size sizeThatFits(Size size) const override;
    void draw(GraphicsContext& context) override;

protected:
    Label();
    explicit Label(Rect frame);

private:
    void changed();
    const TextLayout& layoutFor(const Rect& bounds) const;

    std::string _text;
    Font _font = Font::systemFont(17);
    Color _textColor = Color::blackColor();
    std::optional<Color> _highlightedTextColor;
    bool _highlighted = false;
    TextAlignment _alignment = TextAlignment::Left;
    int _numberOfLines = 1;
    LineBreakMode _lineBreakMode = LineBreakMode::TruncateTail;

    // The layout last drawn, reused while text, style and bounds stay the same.
    mutable std::unique_ptr<TextLayout> _layout;
    mutable Size _layoutBoundsSize{-1, -1};
};

} // namespace vq
