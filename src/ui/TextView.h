#pragma once

#include "graphics/Font.h"
#include "graphics/TextLayout.h"
#include "ui/ScrollView.h"

#include <cstddef>
#include <memory>
#include <string>

namespace vq {

class TextView;

// A span of the text in bytes of its UTF-8.
struct TextRange {
    std::size_t location = 0;
    std::size_t length = 0;
    friend bool operator==(const TextRange&, const TextRange&) = default;
};

// What new text is typed with.
struct TextAttributes {
    Font font;
    Color color;
};

class TextViewDelegate {
public:
    virtual ~TextViewDelegate() = default;
    // Asked before each edit by the user; false leaves the text as it is.
    virtual bool textViewShouldChangeTextInRange(TextView&, TextRange, const std::string& /*replacement*/) { return true; }
    virtual void textViewDidChange(TextView&) {}
    virtual void textViewDidBeginEditing(TextView&) {}
    virtual void textViewDidEndEditing(TextView&) {}
};

// Editable multi-line text. The text sits inside the usual insets: 8 points
// above and below, 5 points of line padding left and right.
class TextView : public ScrollView {
public:
    static constexpr double kInsetTop = 8;
    static constexpr double kInsetBottom = 8;
    static constexpr double kLinePadding = 5;

    static std::shared_ptr<TextView> create(Rect frame = {});

    const char* className() const override { return "TextView"; }

    const std::string& text() const { return _text; }
    // Replaces the text without asking or telling the delegate; invalid UTF-8 is repaired.
    void setText(const std::string& text);
    const Font& font() const { return _font; }
    void setFont(const Font& font);
    Color textColor() const { return _textColor; }
    void setTextColor(Color color);
    TextAlignment textAlignment() const { return _alignment; }
    void setTextAlignment(TextAlignment alignment);
    bool isEditable() const { return _editable; }
    void setEditable(bool editable);
    bool isSpellCheckingEnabled() const { return _spellChecking; }
    void setSpellCheckingEnabled(bool enabled) { _spellChecking = enabled; }
    TextAttributes typingAttributes() const { return {_font, _textColor}; }
    // The width the text is laid out in: the bounds less the line padding.
    double textWidth() const;

    // The caret (length 0) or selection; kept on character boundaries.
    TextRange selectedRange() const { return _selectedRange; }
    void setSelectedRange(TextRange range);

    std::shared_ptr<TextViewDelegate> delegate() const { return _textDelegate.lock(); }
    void setDelegate(std::weak_ptr<TextViewDelegate> delegate) { _textDelegate = std::move(delegate); }

    bool canBecomeFirstResponder() const override { return _editable; }
    bool needsKeyboard() const override { return _editable; }
    // Each call is one edit: asked, made, then reported.
    void insertText(const std::string& text) override;
    // Removes the selection, or the whole character (grapheme cluster) before the caret.
    void deleteBackward() override;

    void setFrame(Rect frame) override;
    void layoutSubviews() override;
    // The text and caret go over the subviews, so a picture sent to the back shows behind the text.
    void drawOverSubviews(GraphicsContext& context) override;

protected:
    void didBecomeFirstResponder() override;
    void didResignFirstResponder() override;
    void tapDidEnd(Point point) override;

protected:
    TextView();
    explicit TextView(Rect frame);

private:
    bool edit(TextRange range, const std::string& replacement);
    void textDidChange();
    void updateContentSize();
    TextRange clamped(TextRange range) const;

    std::string _text;
    Font _font;
    Color _textColor = Color::blackColor();
    TextAlignment _alignment = TextAlignment::Left;
    bool _editable = true;
    bool _spellChecking = true;
    TextRange _selectedRange;
    std::weak_ptr<TextViewDelegate> _textDelegate;
};

} // namespace vq
