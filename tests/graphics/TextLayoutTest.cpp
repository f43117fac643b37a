#include "graphics/TextLayout.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

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

// Measures after edits anywhere (typing, deleting, new lines, long words,
// other scripts) give what a fresh layout of the whole text gives.
TEST(TextLayoutTest, MeasuringAfterEditsMatchesAFreshLayout)
{
    const std::vector<std::string> pieces = {"i", "W", "iiii", "WWWW", " ", "  ", "\n", "-", "!", "(", ")", "Wolfeschlegelsteinhausen",
                                             "\xC3\xA9", "\xE2\x80\x94", "\xE6\xBC\xA2\xE5\xAD\x97",
                                             "\xF0\x9F\x98\x80", "\xD7\xA9\xD7\x9C", "ff", "1.5"};
    std::mt19937 random(7);
    for (const Font& font : {Font::systemFont(17), *Font::fontWithName("DejaVuSerif", 15)}) {
        for (double width : {60.0, 140.0}) {
            std::string text = kSentence + " " + kSentence;
            for (int i = 0; i < 150; ++i) {
                std::size_t at = random() % (text.size() + 1);
                // Keep to character boundaries.
                while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
                    ++at;
                switch (random() % 5) {
                case 0: text.insert(at, pieces[random() % pieces.size()]); break;
                case 1: text += pieces[random() % pieces.size()]; break;
                case 2: {
                    std::size_t end = at;
                    for (int n = 1 + random() % 3; n > 0 && end < text.size(); --n)
                        do
                            ++end;
                        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80);
                    text.erase(at, end - at);
                    if (random() % 2) // typing over the text
                        text.insert(at, pieces[random() % pieces.size()]);
                    break;
                }
                case 3: {
                    // A word typed over with one as long but wider or narrower, which moves
                    // the line's end though every line still starts where it did.
                    std::size_t word = text.find(' ', at);
                    if (word != std::string::npos && word + 5 <= text.size())
                        text.replace(word + 1, 4, random() % 2 ? "WWWW" : "iiii");
                    break;
                }
                default:
                    if (text.size() > 400)
                        text.erase(0, text.find(' ', 30) + 1);
                    else
                        text.insert(at, kSentence.substr(random() % 40, 20));
                }
                ASSERT_EQ(measureText(text, font, width), TextLayout(text, font, width).size())
                    << font.fontName() << " " << width << " edit " << i << ": " << text;
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
