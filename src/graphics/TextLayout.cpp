#include "graphics/TextLayout.h"

#include "graphics/CairoOwners.h"
#include "graphics/FontMap.h"
#include "graphics/GraphicsContext.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>

namespace vq {

namespace {

int toPango(double points)
{
    double v = points * PANGO_SCALE;
    if (v >= INT_MAX / 2)
        return INT_MAX / 2;
    return static_cast<int>(v + 0.5);
}

double fromPango(int units) { return units / double(PANGO_SCALE); }

struct Extents {
    Size size;
    int visibleLines = 0;
};

// The size of the first maxLines lines (all when 0); empty text measures 0 x 0
// (no line at all), so an empty message has no height.
Extents measureLayout(PangoLayout* layout, int maxLines)
{
    Extents e;
    if (pango_layout_get_character_count(layout) == 0)
        return e;
    int total = pango_layout_get_line_count(layout);
    e.visibleLines = maxLines > 0 ? std::min(total, maxLines) : total;
    if (e.visibleLines == total) {
        PangoRectangle logical;
        pango_layout_get_extents(layout, nullptr, &logical);
        e.size = {fromPango(logical.width), fromPango(logical.height)};
        return e;
    }
    PangoLayoutIter* it = pango_layout_get_iter(layout);
    int width = 0, bottom = 0;
    for (int i = 0; i < e.visibleLines; ++i) {
        PangoRectangle line;
        pango_layout_iter_get_line_extents(it, nullptr, &line);
        width = std::max(width, line.width);
        bottom = std::max(bottom, line.y + line.height);
        if (!pango_layout_iter_next_line(it))
            break;
    }
    pango_layout_iter_free(it);
    e.size = {fromPango(width), fromPango(bottom)};
    return e;
}

// Lines of the font at its own pitch (see Font::lineHeight); the extra
// leading is shared above and below each line.
void setLineHeight(PangoLayout* layout, const Font& font)
{
    PangoAttrList* attributes = pango_attr_list_new();
    if (font.isSystemFont())
        pango_attr_list_insert(attributes, pango_attr_line_height_new_absolute(toPango(font.lineHeight())));
    pango_layout_set_attributes(layout, attributes);
    pango_attr_list_unref(attributes);
}

} // namespace

struct TextLayout::Impl {
    PangoLayout* layout = nullptr;
    Extents extents;
    int totalLines = 0;
    double width = 0;
    // Set when the drawing must be cut to the measured box (a line limit
    // without ellipsis, or a clipped single line).
    bool clip = false;

    ~Impl()
    {
        if (layout)
            g_object_unref(layout);
    }
};

TextLayout::TextLayout(const std::string& text, const Font& font, double width, TextAlignment alignment,
                       LineBreakMode lineBreak, int maxLines)
    : _impl(std::make_unique<Impl>())
{
    PangoLayout* layout = pango_layout_new(FontMap::context());
    _impl->layout = layout;
    _impl->width = width;
    pango_layout_set_font_description(layout, font.pangoDescription());
    setLineHeight(layout, font);
    pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
    switch (alignment) {
    case TextAlignment::Left: pango_layout_set_alignment(layout, PANGO_ALIGN_LEFT); break;
    case TextAlignment::Center: pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER); break;
    case TextAlignment::Right: pango_layout_set_alignment(layout, PANGO_ALIGN_RIGHT); break;
    }
    maxLines = std::max(0, maxLines);
    bool constrained = width > 0;
    if (constrained)
        pango_layout_set_width(layout, toPango(width));

    switch (lineBreak) {
    case LineBreakMode::WordWrap:
        // Long words break between characters rather than overflow.
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
        break;
    case LineBreakMode::CharWrap: pango_layout_set_wrap(layout, PANGO_WRAP_CHAR); break;
    case LineBreakMode::Clip:
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
        if (maxLines == 1 && constrained) {
            // One line cut at the edge, not wrapped (a line that fits keeps its alignment).
            pango_layout_set_width(layout, -1);
            PangoRectangle logical;
            pango_layout_get_extents(layout, nullptr, &logical);
            if (fromPango(logical.width) <= width)
                pango_layout_set_width(layout, toPango(width));
            else
                _impl->clip = true;
        }
        break;
    case LineBreakMode::TruncateHead:
    case LineBreakMode::TruncateMiddle:
    case LineBreakMode::TruncateTail:
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
        // Unlimited lines never truncate; otherwise the last allowed line takes the ellipsis.
        if (constrained && maxLines > 0) {
            pango_layout_set_ellipsize(layout, lineBreak == LineBreakMode::TruncateHead     ? PANGO_ELLIPSIZE_START
                                               : lineBreak == LineBreakMode::TruncateMiddle ? PANGO_ELLIPSIZE_MIDDLE
                                                                                            : PANGO_ELLIPSIZE_END);
            pango_layout_set_height(layout, -maxLines);
        }
        break;
    }

    _impl->totalLines = pango_layout_get_line_count(layout);
    _impl->extents = measureLayout(layout, maxLines);
    if (_impl->extents.visibleLines < _impl->totalLines)
        _impl->clip = true;
    if (lineBreak == LineBreakMode::Clip && maxLines == 1 && constrained)
        _impl->extents.size.width = std::min(_impl->extents.size.width, width);
}

TextLayout::~TextLayout() = default;
TextLayout::TextLayout(TextLayout&&) noexcept = default;
TextLayout& TextLayout::operator=(TextLayout&&) noexcept = default;

Size TextLayout::size() const { return _impl->extents.size; }

int TextLayout::lineCount() const { return _impl->extents.visibleLines; }

void TextLayout::draw(GraphicsContext& context, Point origin, Color color) const
{
    if (_impl->extents.visibleLines == 0)
        return;
    cairo_t* cr = context.cairo();
    CairoSavedState saved(cr);
    if (_impl->clip) {
        // Cut off the lines below the limit and, for a clipped single line, what passes the right edge.
        double x0 = origin.x - 1e4, x1 = origin.x + 1e4;
        if (_impl->width > 0 && pango_layout_get_width(_impl->layout) < 0) {
            x0 = origin.x;
            x1 = origin.x + _impl->width;
        }
        cairo_rectangle(cr, x0, origin.y - 1e4, x1 - x0, 1e4 + _impl->extents.size.height);
        cairo_clip(cr);
    }
    cairo_set_source_rgba(cr, color.r, color.g, color.b, color.a);
    cairo_move_to(cr, origin.x, origin.y);
    pango_cairo_show_layout(cr, _impl->layout);
}

Rect TextLayout::caretRect(std::size_t byteIndex) const
{
    const char* text = pango_layout_get_text(_impl->layout);
    std::size_t length = std::char_traits<char>::length(text);
    int index = static_cast<int>(std::min(byteIndex, length));
    PangoRectangle strong;
    pango_layout_get_cursor_pos(_impl->layout, index, &strong, nullptr);
    // The caret spans its whole line, leading included, so that scrolling to it
    // shows the line as the content size counts it.
    int lineNumber = 0, x = 0;
    pango_layout_index_to_line_x(_impl->layout, index, FALSE, &lineNumber, &x);
    PangoLayoutIter* it = pango_layout_get_iter(_impl->layout);
    for (int i = 0; i < lineNumber && pango_layout_iter_next_line(it); ++i) {
    }
    PangoRectangle line;
    pango_layout_iter_get_line_extents(it, nullptr, &line);
    pango_layout_iter_free(it);
    if (line.height > strong.height) {
        strong.y = line.y;
        strong.height = line.height;
    }
    return {fromPango(strong.x), fromPango(strong.y), 2, fromPango(strong.height)};
}

PangoLayout* TextLayout::pangoLayout() const { return _impl->layout; }

namespace {

// A few layouts kept for measuring, one per font, so a measure only sets the
// text and width on a layout whose font is already set.
struct MeasureSlot {
    std::optional<Font> font;
    PangoLayout* layout = nullptr;
    int width = -2;
    std::uint64_t lastUse = 0;
};

} // namespace

// Recent results: the same text is often measured several times per edit
// (content size, caret, scrolling). Exact, as the key is the whole input.
struct MeasuredText {
    std::string text;
    std::optional<Font> font;
    double width = 0;
    Size size;
};

Size measureText(const std::string& text, const Font& font, double width)
{
    static std::array<MeasureSlot, 8> slots;
    static std::array<MeasuredText, 32> recent;
    static std::size_t nextRecent = 0;
    static std::uint64_t clock = 0;
    if (text.empty())
        return {};
    for (const auto& r : recent)
        if (r.font && r.width == width && r.text.size() == text.size() && *r.font == font && r.text == text)
            return r.size;
    MeasureSlot* slot = nullptr;
    for (auto& s : slots)
        if (s.font && *s.font == font) {
            slot = &s;
            break;
        }
    if (!slot) {
        slot = &*std::min_element(slots.begin(), slots.end(),
                                  [](const MeasureSlot& a, const MeasureSlot& b) { return a.lastUse < b.lastUse; });
        if (!slot->layout) {
            slot->layout = pango_layout_new(FontMap::context());
            pango_layout_set_wrap(slot->layout, PANGO_WRAP_WORD_CHAR);
        }
        slot->font = font;
        pango_layout_set_font_description(slot->layout, font.pangoDescription());
        setLineHeight(slot->layout, font);
    }
    slot->lastUse = ++clock;
    int w = width > 0 ? toPango(width) : -1;
    if (w != slot->width) {
        pango_layout_set_width(slot->layout, w);
        slot->width = w;
    }
    pango_layout_set_text(slot->layout, text.data(), static_cast<int>(text.size()));
    Size size = measureLayout(slot->layout, 0).size;
    recent[nextRecent] = {text, font, width, size};
    nextRecent = (nextRecent + 1) % recent.size();
    return size;
}

double oneLineHeight(const Font& font)
{
    // The system font's lines are set at a fixed pitch (setLineHeight), so no layout,
    // and no font match at a size nothing else may use, is needed to know it.
    if (font.isSystemFont())
        return fromPango(toPango(font.lineHeight()));
    return measureText(" ", font, 0).height;
}

} // namespace vq
