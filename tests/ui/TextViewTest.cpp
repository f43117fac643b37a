#include "graphics/Image.h"
#include "graphics/TextLayout.h"
#include "ui/Renderer.h"
#include "ui/TextView.h"

#include "TouchDriver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vq;

namespace {

class Recorder : public TextViewDelegate {
public:
    bool allow = true;
    std::vector<std::pair<TextRange, std::string>> asked;
    int changes = 0, began = 0, ended = 0;

    bool textViewShouldChangeTextInRange(TextView&, TextRange range, const std::string& replacement) override
    {
        asked.emplace_back(range, replacement);
        return allow;
    }
    void textViewDidChange(TextView&) override { ++changes; }
    void textViewDidBeginEditing(TextView&) override { ++began; }
    void textViewDidEndEditing(TextView&) override { ++ended; }
};

class TextViewTest : public testing::Test {
protected:
    void SetUp() override
    {
        root = View::create(Rect{0, 0, 320, 480});
        textView = TextView::create({10, 10, 300, 100});
        root->addSubview(textView);
        textView->setDelegate(recorder);
    }
    void TearDown() override { textView->resignFirstResponder(); }

    std::shared_ptr<View> root;
    std::shared_ptr<TextView> textView;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

TEST_F(TextViewTest, TypingAsksTheDelegateThenEditsThenReports)
{
    textView->setText("Hi");
    EXPECT_TRUE(recorder->asked.empty()); // setText is not an edit by the user
    EXPECT_EQ(recorder->changes, 0);
    EXPECT_EQ(textView->selectedRange(), (TextRange{2, 0}));

    textView->insertText(" there");
    EXPECT_EQ(textView->text(), "Hi there");
    ASSERT_EQ(recorder->asked.size(), 1u);
    EXPECT_EQ(recorder->asked[0].first, (TextRange{2, 0}));
    EXPECT_EQ(recorder->asked[0].second, " there");
    EXPECT_EQ(recorder->changes, 1);
    EXPECT_EQ(textView->selectedRange(), (TextRange{8, 0}));

    recorder->allow = false;
    textView->insertText("!");
    textView->deleteBackward();
    EXPECT_EQ(textView->text(), "Hi there");
    EXPECT_EQ(recorder->asked.size(), 3u);
    EXPECT_EQ(recorder->asked[2].first, (TextRange{7, 1}));
    EXPECT_EQ(recorder->asked[2].second, "");
    EXPECT_EQ(recorder->changes, 1);
}

TEST_F(TextViewTest, BackspaceRemovesWholeCharacters)
{
    // A thumbs-up with a skin-tone modifier: two code points, eight bytes, one character.
    textView->setText("ok\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD");
    textView->deleteBackward();
    EXPECT_EQ(textView->text(), "ok");
    EXPECT_EQ(recorder->asked.back().first, (TextRange{2, 8}));

    // e with a combining acute accent.
    textView->setText("cafe\xCC\x81");
    textView->deleteBackward();
    EXPECT_EQ(textView->text(), "caf");
    textView->deleteBackward();
    EXPECT_EQ(textView->text(), "ca");

    // Two-byte characters go one at a time.
    textView->setText("\xC3\xA9\xC3\xA9");
    textView->deleteBackward();
    EXPECT_EQ(textView->text(), "\xC3\xA9");

    // Nothing to delete: nothing is asked.
    textView->setText("");
    auto asked = recorder->asked.size();
    textView->deleteBackward();
    EXPECT_EQ(recorder->asked.size(), asked);
}

TEST_F(TextViewTest, ASelectionIsReplacedOrDeletedAsOneEdit)
{
    textView->setText("hello world");
    textView->setSelectedRange({0, 5});
    textView->insertText("HELLO");
    EXPECT_EQ(textView->text(), "HELLO world");
    EXPECT_EQ(textView->selectedRange(), (TextRange{5, 0}));
    textView->setSelectedRange({5, 100}); // clamped to the end
    EXPECT_EQ(textView->selectedRange(), (TextRange{5, 6}));
    textView->deleteBackward();
    EXPECT_EQ(textView->text(), "HELLO");
    // A range inside a multi-byte character is widened to whole characters.
    textView->setText("a\xC3\xA9");
    textView->setSelectedRange({2, 1});
    EXPECT_EQ(textView->selectedRange(), (TextRange{1, 2}));
}

TEST_F(TextViewTest, InvalidUtf8IsRepaired)
{
    textView->setText("a\xFF" "b");
    EXPECT_EQ(textView->text(), "a\xEF\xBF\xBD" "b");
    textView->insertText("\xC3");
    EXPECT_EQ(textView->text(), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
}

TEST_F(TextViewTest, ContentSizeGrowsWithLinesAndKeepsTheInsets)
{
    Font font = textView->font();
    EXPECT_EQ(font.pointSize(), 12);
    double line = measureText("x", font, 290).height;
    EXPECT_GT(line, 0);
    EXPECT_DOUBLE_EQ(textView->contentSize().height, line + 16); // empty: one line
    EXPECT_DOUBLE_EQ(textView->contentSize().width, 300);

    textView->setText("one");
    double one = textView->contentSize().height;
    EXPECT_DOUBLE_EQ(one, measureText("one", font, 290).height + 16);
    textView->insertText("\ntwo\nthree");
    double three = textView->contentSize().height;
    EXPECT_NEAR(three - one, 2 * line, 1.0);

    // A long line wraps at the width minus the line padding.
    std::string longText(200, 'w');
    longText = "word " + std::string("many words wrap around here ") + longText;
    textView->setText(longText);
    double wide = textView->contentSize().height;
    textView->setFrame({10, 10, 150, 100});
    EXPECT_GT(textView->contentSize().height, wide);
    EXPECT_DOUBLE_EQ(textView->contentSize().height, measureText(longText, font, 140).height + 16);

    // A bigger font measures taller; the typing attributes follow it.
    textView->setText("one");
    textView->setFont(font.withSize(24));
    EXPECT_GT(textView->contentSize().height, one);
    EXPECT_EQ(textView->typingAttributes().font.pointSize(), 24);
    textView->setTextColor(Color::redColor());
    EXPECT_EQ(textView->typingAttributes().color, Color::redColor());
}

TEST_F(TextViewTest, ATapBeginsEditingAndResigningEndsIt)
{
    EXPECT_TRUE(textView->needsKeyboard());
    test::tap(root, {50, 50});
    EXPECT_TRUE(textView->isFirstResponder());
    EXPECT_EQ(recorder->began, 1);
    textView->resignFirstResponder();
    EXPECT_EQ(recorder->ended, 1);

    textView->setEditable(false);
    test::tap(root, {50, 50});
    EXPECT_FALSE(textView->isFirstResponder());
    textView->insertText("x");
    EXPECT_EQ(textView->text(), "");
}

TEST_F(TextViewTest, TypingPastTheBottomScrollsToTheCaret)
{
    textView->becomeFirstResponder();
    for (int i = 0; i < 12; ++i)
        textView->insertText("line\n");
    EXPECT_GT(textView->contentSize().height, 100);
    EXPECT_DOUBLE_EQ(textView->contentOffset().y, textView->maxContentOffset().y);
    // Deleted back to a text that fits, it shows from the top again.
    while (textView->contentSize().height > textView->bounds().height())
        textView->deleteBackward();
    EXPECT_EQ(textView->contentOffset(), Point{});
    EXPECT_FALSE(textView->text().empty());
}


TEST_F(TextViewTest, TextIsDrawnInsideTheInsetsWithACaretWhileEditing)
{
    textView->setText("MMMM");
    auto inside = [](const Image& picture, Rect r, auto pred) {
        for (int x = static_cast<int>(r.minX()); x < r.maxX(); ++x)
            for (int y = static_cast<int>(r.minY()); y < r.maxY(); ++y)
                if (pred(picture.pixelAt(x, y)))
                    return true;
        return false;
    };
    auto dark = [](Color c) { return c.a > 0.5f && c.r < 0.4f && c.g < 0.4f && c.b < 0.4f; };
    auto blue = [](Color c) { return c.a > 0.5f && c.b > 0.8f && c.r < 0.3f; };
    auto picture = renderView(*textView, {300, 100}, 1);
    EXPECT_TRUE(inside(*picture, {5, 8, 80, 20}, dark));
    EXPECT_FALSE(inside(*picture, {0, 0, 300, 8}, dark));
    EXPECT_FALSE(inside(*picture, {0, 0, 5, 100}, dark));
    EXPECT_FALSE(inside(*picture, {0, 0, 300, 100}, blue));

    textView->becomeFirstResponder();
    picture = renderView(*textView, {300, 100}, 1);
    double end = 5 + measureText("MMMM", textView->font(), 0).width;
    EXPECT_TRUE(inside(*picture, {end - 2, 8, 5, 16}, blue));
    EXPECT_FALSE(inside(*picture, {0, 0, end - 3, 100}, blue));
}

} // namespace
