#pragma once

#include "core/Geometry.h"
#include "graphics/Color.h"
#include "graphics/Font.h"

#include <memory>
#include <string>

typedef struct _PangoLayout PangoLayout;

namespace vq {

class GraphicsContext;

enum class TextAlignment { Left, Center, Right };
enum class LineBreakMode { WordWrap, CharWrap, Clip, TruncateHead, TruncateTail, TruncateMiddle };

// Text laid out by Pango on the shared font map, so what is measured is what is drawn.
class TextLayout {
public:
    // width <= 0: no width constraint. maxLines 0: no limit.
    TextLayout(const std::string& text, const Font& font, double width = 0, TextAlignment alignment = TextAlignment::Left,
               LineBreakMode lineBreak = LineBreakMode::WordWrap, int maxLines = 0);
    ~TextLayout();
    TextLayout(TextLayout&&) noexcept;
    TextLayout& operator=(TextLayout&&) noexcept;

    // Size in points of the laid-out text (the width is the text's own, not the constraint).
    Size size() const;
    int lineCount() const;
    // Draws with the layout's top-left corner at origin.
    void draw(GraphicsContext& context, Point origin, Color color) const;
    // The caret at a byte offset of the text, relative to the layout's origin.
    Rect caretRect(std::size_t byteIndex) const;

    PangoLayout* pangoLayout() const;

private:
    struct Impl;
    std::unique_ptr<Impl> _impl;
};

// Height (and width) of text constrained to width, unbounded in height.
Size measureText(const std::string& text, const Font& font, double width);

// The height of one line of the font, as a layout of a single line measures it.
double oneLineHeight(const Font& font);

} // namespace vq
