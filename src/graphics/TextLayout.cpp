#include "graphics/TextLayout.h"

#include "core/StringAdditions.h"
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
#include <vector>

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

// A line of the text last measured on a slot, and how far that text must stay
// the same for the line to end where it did.
struct MeasuredLine {
    int start = 0;        // byte offset of the line in the text
    int dependsUntil = 0; // byte offset
    int y = 0;            // Pango units
    int width = 0;
};

// A few layouts kept for measuring, one per font, so a measure only sets the
// text and width on a layout whose font is already set. The lines of the last
// text let the next measure lay out only from the line before an edit.
struct MeasureSlot {
    std::optional<Font> font;
    PangoLayout* layout = nullptr;
    int width = -2;
    std::uint64_t lastUse = 0;
    std::string text;
    std::vector<MeasuredLine> lines;
    int height = 0; // of the whole text, Pango units
};

// Characters after a place that can change how it breaks or is shaped:
// HarfBuzz reads at most five of context, line breaking fewer.
constexpr int kBreakContext = 5;

// The place kBreakContext characters after p, or end.
const char* pastContext(const char* p, const char* end)
{
    for (int k = 0; k < kBreakContext && p < end; ++k)
        p = g_utf8_next_char(p);
    return p;
}

// Text whose lines may be reordered (right-to-left scripts, direction marks)
// or broken by dictionary (Thai and its neighbours) can end a line by what
// comes long after it, so it is always laid out whole.
bool breaksLocally(const char* p, const char* end)
{
    while (p < end) {
        if (*p == 0)
            return false; // Pango ends the text there
        if (static_cast<unsigned char>(*p) < 0x80) {
            ++p;
            continue;
        }
        gunichar u = g_utf8_get_char_validated(p, end - p);
        if (u == static_cast<gunichar>(-1) || u == static_cast<gunichar>(-2))
            return false;
        if ((u >= 0x0590 && u <= 0x08FF) || (u >= 0x0E00 && u <= 0x0EFF) || (u >= 0x1000 && u <= 0x109F) ||
            (u >= 0x1780 && u <= 0x17FF) || (u >= 0x1950 && u <= 0x1AAF) || (u >= 0xA9E0 && u <= 0xAA7F) ||
            u == 0x200E || u == 0x200F || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069) ||
            (u >= 0xFB1D && u <= 0xFEFF) || (u >= 0x10800 && u <= 0x10FFF) || (u >= 0x1E800 && u <= 0x1EFFF))
            return false;
        p = g_utf8_next_char(p);
    }
    return true;
}

// Appends the lines of a layout of the text from byte base on, whose first
// line is at yBase. A line ends where it does by the text up to the first break
// after it (which is tried) and up to where the text stopped fitting (the
// width left on the line, plus slack for kerning and a hyphen, counted on
// through the lines that follow).
void recordLines(PangoLayout* layout, int base, int yBase, int width, int slack, std::vector<MeasuredLine>& out)
{
    const char* text = pango_layout_get_text(layout);
    int length = static_cast<int>(std::char_traits<char>::length(text));
    int attrCount = 0;
    const PangoLogAttr* attrs = pango_layout_get_log_attrs_readonly(layout, &attrCount);
    std::vector<PangoLayoutLine*> lines;
    std::size_t first = out.size();
    PangoLayoutIter* it = pango_layout_get_iter(layout);
    do {
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(it, nullptr, &logical);
        PangoLayoutLine* line = pango_layout_iter_get_line_readonly(it);
        out.push_back({base + line->start_index, base + length, yBase + logical.y, logical.width});
        lines.push_back(line);
    } while (pango_layout_iter_next_line(it));
    pango_layout_iter_free(it);

    const char* at = text;
    int atChar = 0;
    int n = static_cast<int>(lines.size());
    for (int i = 0; i + 1 < n; ++i) {
        int next = lines[i + 1]->start_index;
        if (next >= length)
            break;
        atChar += static_cast<int>(g_utf8_pointer_to_offset(at, text + next));
        at = text + next;
        const char* q = at;
        int c = atChar;
        do {
            q = g_utf8_next_char(q);
            ++c;
        } while (c < attrCount - 1 && !attrs[c].is_line_break);
        int breakAt = static_cast<int>(q - text);
        int room = width + slack - out[first + i].width;
        int m = i + 1;
        while (m < n && room >= out[first + m].width) {
            room -= out[first + m].width;
            ++m;
        }
        if (m == n)
            continue;
        int index = 0, trailing = 0;
        pango_layout_line_x_to_index(lines[m], room, &index, &trailing);
        const char* until = pastContext(text + std::max(breakAt, index), text + length);
        out[first + i].dependsUntil = base + static_cast<int>(until - text);
    }
}

// The first old line at or after from whose start is not a space (a line is
// laid out the same wherever it stands only if it does not start in a run of
// spaces, which breaking looks back across).
std::size_t firstLineFrom(const MeasureSlot& slot, std::size_t from)
{
    auto it = std::lower_bound(slot.lines.begin(), slot.lines.end(), from,
                               [](const MeasuredLine& l, std::size_t f) { return static_cast<std::size_t>(l.start) < f; });
    while (it != slot.lines.end() && static_cast<std::size_t>(it->start) < slot.text.size() &&
           g_ascii_isspace(slot.text[it->start]))
        ++it;
    return it - slot.lines.begin();
}

// Measures text on the slot's layout. Lines before an edit end where they did
// when nothing up to where their end was decided has changed, and lines after
// it come back to where they were once a line starts at the same place past
// the edit; so only the lines in between are laid out again.
Size measureOnSlot(MeasureSlot& slot, const std::string& text, const Font& font)
{
    const std::string& before = slot.text;
    const std::vector<MeasuredLine>& old = slot.lines;
    std::size_t same = 0, sameEnd = 0;
    if (!old.empty()) {
        std::size_t limit = std::min(before.size(), text.size());
        same = std::mismatch(text.begin(), text.begin() + limit, before.begin()).first - text.begin();
        sameEnd = std::mismatch(text.rbegin(), text.rbegin() + (limit - same), before.rbegin()).first - text.rbegin();
    }
    // The text before the edit was checked when it was measured.
    std::size_t checkFrom = prefixWithin(text, same).size();
    bool local = slot.width > 0 && text.size() < INT_MAX / 2 &&
                 breaksLocally(text.data() + checkFrom, text.data() + text.size());
    PangoLayout* layout = slot.layout;
    if (!local) {
        slot.lines.clear();
        pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
        return measureLayout(layout, 0).size;
    }

    std::size_t keep = 0;
    while (keep + 1 < old.size() && static_cast<std::size_t>(old[keep].dependsUntil) <= same)
        ++keep;
    int base = keep > 0 ? old[keep].start : 0;
    int yBase = keep > 0 ? old[keep].y : 0;
    long delta = static_cast<long>(text.size()) - static_cast<long>(before.size());
    // An old line that starts past the edit and its shaping context; laying out
    // up to where its own end is decided shows whether the new lines meet it.
    std::size_t meet = old.size();
    int end = static_cast<int>(text.size());
    if (!old.empty()) {
        const char* from = pastContext(before.data() + before.size() - sameEnd, before.data() + before.size());
        meet = std::max(keep + 1, firstLineFrom(slot, from - before.data()));
        if (meet < old.size())
            end = static_cast<int>(std::min<long>(static_cast<long>(text.size()), old[meet].dependsUntil + delta));
    }

    std::vector<MeasuredLine> lines(old.begin(), old.begin() + keep);
    int slack = toPango(font.pointSize());
    pango_layout_set_text(layout, text.data() + base, end - base);
    recordLines(layout, base, yBase, slot.width, slack, lines);
    int height = 0;
    bool met = false;
    if (end < static_cast<int>(text.size())) {
        long target = old[meet].start + delta;
        for (std::size_t j = keep; j < lines.size(); ++j) {
            if (lines[j].start == target && j > keep) {
                int dy = lines[j].y - old[meet].y;
                height = slot.height + dy;
                lines.resize(j);
                for (std::size_t i = meet; i < old.size(); ++i)
                    lines.push_back({static_cast<int>(old[i].start + delta), static_cast<int>(old[i].dependsUntil + delta),
                                     old[i].y + dy, old[i].width});
                met = true;
                break;
            }
            // Past this line the window's own end may have moved the breaks.
            if (lines[j].dependsUntil >= end || lines[j].start > target)
                break;
        }
        if (!met) {
            lines.resize(keep);
            pango_layout_set_text(layout, text.data() + base, static_cast<int>(text.size()) - base);
            recordLines(layout, base, yBase, slot.width, slack, lines);
        }
    }
    if (!met) {
        PangoRectangle logical;
        pango_layout_get_extents(layout, nullptr, &logical);
        height = yBase + logical.height;
    }
    int widest = 0;
    for (const auto& l : lines)
        widest = std::max(widest, l.width);
    slot.lines = std::move(lines);
    slot.text = text;
    slot.height = height;
    return {fromPango(widest), fromPango(height)};
}

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
        slot->lines.clear();
        pango_layout_set_font_description(slot->layout, font.pangoDescription());
        setLineHeight(slot->layout, font);
    }
    slot->lastUse = ++clock;
    int w = width > 0 ? toPango(width) : -1;
    if (w != slot->width) {
        pango_layout_set_width(slot->layout, w);
        slot->width = w;
        slot->lines.clear();
    }
    Size size = measureOnSlot(*slot, text, font);
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
