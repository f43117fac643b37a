#include "graphics/TextLayout.h"

#include <gtest/gtest.h>

using namespace vq;

namespace {

const std::string kSentence = "The quick brown fox jumps over the lazy dog while the cat watches from the warm windowsill.";

} // namespace

TEST(TextLayoutTest, WidthConstraintWrapsAndMoreTextIsTaller)
{
    Font font = Font::systemFont(17);
    Size oneLine = measureText("Hello", font, 0);
    EXPECT_GT(oneLine.width, 0);
    EXPECT_NEAR(oneLine.height, font.lineHeight(), 0.5);

    Size wrapped = measureText(kSentence, font, 140);
    EXPECT_LE(wrapped.width, 140);
    EXPECT_GT(wrapped.height, 3 * oneLine.height);

    Size longer = measureText(kSentence + " " + kSentence, font, 140);
    EXPECT_GT(longer.height, wrapped.height);
    EXPECT_GT(measureText(kSentence, font, 280).width, 140);
    EXPECT_LT(measureText(kSentence, font, 280).height, wrapped.height);

    EXPECT_EQ(measureText("", font, 140), (Size{0, 0}));
}

TEST(TextLayoutTest, MeasuringMatchesTheLayoutThatIsDrawn)
{
    for (double size : {12.0, 17.0, 21.0}) {
        Font font = Font::systemFont(size);
        // One line's height, which an empty text view takes without laying anything out.
        EXPECT_EQ(oneLineHeight(font), TextLayout("Hg", font).size().height) << size;
        Font named = *Font::fontWithName("DejaVuSerif", size);
        EXPECT_EQ(oneLineHeight(named), TextLayout("Hg", named).size().height) << size;
        for (double width : {60.0, 140.0, 200.0}) {
            std::string text = kSentence;
            // Edits of one text in a row, as typing does, interleaved with other fonts.
            for (int i = 0; i < 5; ++i) {
                text += i % 2 ? " x" : "yz";
                TextLayout layout(text, font, width);
                EXPECT_EQ(measureText(text, font, width), layout.size()) << size << " " << width << " " << text;
                EXPECT_EQ(measureText(text, Font::boldSystemFont(size), width),
                          TextLayout(text, Font::boldSystemFont(size), width).size());
            }
        }
    }
}

TEST(TextLayoutTest, LongWordsBreakBetweenCharacters)
{
    Font font = Font::systemFont(17);
    std::string word(40, 'm');
    TextLayout layout(word, font, 100);
    EXPECT_LE(layout.size().width, 100);
    EXPECT_GT(layout.lineCount(), 3);
    EXPECT_EQ(measureText(word, font, 100), layout.size());
}

TEST(TextLayoutTest, LineLimitsTruncateOrClip)
{
    Font font = Font::systemFont(17);
    TextLayout all(kSentence, font, 140);
    ASSERT_GT(all.lineCount(), 2);

    TextLayout two(kSentence, font, 140, TextAlignment::Left, LineBreakMode::TruncateTail, 2);
    EXPECT_EQ(two.lineCount(), 2);
    EXPECT_NEAR(two.size().height, 2 * font.lineHeight(), 0.5);

    TextLayout wrappedTwo(kSentence, font, 140, TextAlignment::Left, LineBreakMode::WordWrap, 2);
    EXPECT_EQ(wrappedTwo.lineCount(), 2);
    EXPECT_NEAR(wrappedTwo.size().height, 2 * font.lineHeight(), 0.5);

    TextLayout oneLine(kSentence, font, 140, TextAlignment::Left, LineBreakMode::TruncateTail, 1);
    EXPECT_EQ(oneLine.lineCount(), 1);
    EXPECT_LE(oneLine.size().width, 140);

    TextLayout clipped(kSentence, font, 140, TextAlignment::Left, LineBreakMode::Clip, 1);
    EXPECT_EQ(clipped.lineCount(), 1);
    EXPECT_DOUBLE_EQ(clipped.size().width, 140);
}

TEST(TextLayoutTest, CaretsFollowTheText)
{
    Font font = Font::systemFont(17);
    TextLayout layout("ab\ncd", font, 0);
    Rect start = layout.caretRect(0);
    Rect afterB = layout.caretRect(2);
    Rect lineTwo = layout.caretRect(3);
    EXPECT_DOUBLE_EQ(start.x(), 0);
    EXPECT_GT(afterB.x(), start.x());
    EXPECT_DOUBLE_EQ(lineTwo.x(), 0);
    EXPECT_NEAR(lineTwo.y(), font.lineHeight(), 0.5);
    EXPECT_GT(start.height(), 0);
    EXPECT_EQ(layout.caretRect(1000), layout.caretRect(5)); // past the end: at the end
}
