#include "graphics/Graphemes.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vq;

namespace {

const std::string kFFFD = "\xEF\xBF\xBD";
const std::string kThumbDark = "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD";                                 // skin-tone modifier
const std::string kFamily = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"; // ZWJ sequence
const std::string kRainbowFlag = "\xF0\x9F\x8F\xB3\xEF\xB8\x8F\xE2\x80\x8D\xF0\x9F\x8C\x88";             // VS16 + ZWJ
const std::string kFrance = "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7";
const std::string kGermany = "\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA";
const std::string kAccented = "e\xCC\x81\xCC\xA3"; // two combining marks
const std::string kHangul = "\xE1\x84\x92\xE1\x85\xA1\xE1\x86\xAB"; // one syllable from three jamo

} // namespace

TEST(Graphemes, ClustersKeepEmojiSequencesFlagsAndMarksWhole)
{
    struct Case {
        std::string text;
        std::vector<std::string> clusters;
    };
    const std::vector<Case> cases{
        {"", {}},
        {"ab", {"a", "b"}},
        {"a" + kThumbDark + "b", {"a", kThumbDark, "b"}},
        {kFamily + kFamily, {kFamily, kFamily}},
        {kRainbowFlag + "!", {kRainbowFlag, "!"}},
        // Regional indicators pair up from the start: two flags, then a lone letter.
        {kFrance + kGermany, {kFrance, kGermany}},
        {kFrance + "\xF0\x9F\x87\xA9", {kFrance, "\xF0\x9F\x87\xA9"}},
        {"caf" + kAccented + "s", {"c", "a", "f", kAccented, "s"}},
        {kHangul + "x", {kHangul, "x"}},
        {"a\r\nb", {"a", "\r\n", "b"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(graphemeClusters(c.text), c.clusters) << c.text;
        // The boundaries are the same cuts.
        std::vector<std::size_t> expected{0};
        for (const auto& cluster : c.clusters)
            expected.push_back(expected.back() + cluster.size());
        EXPECT_EQ(graphemeBoundaries(c.text), expected) << c.text;
    }
}

TEST(Graphemes, EachMalformedByteBecomesOneReplacementCharacter)
{
    struct Case {
        std::string bad;
        std::string repaired;
    };
    const std::vector<Case> cases{
        {"a\x80", "a" + kFFFD},                                           // stray continuation byte
        {"\xC0\xAF", kFFFD + kFFFD},                                      // overlong "/"
        {"\xED\xA0\x80", kFFFD + kFFFD + kFFFD},                          // surrogate
        {"\xF4\x90\x80\x80", kFFFD + kFFFD + kFFFD + kFFFD},              // beyond U+10FFFF
        {"\xE2\x82", kFFFD + kFFFD},                                      // cut off at the end
        {"\xE2\x82" "b", kFFFD + kFFFD + "b"},                            // cut off in the middle
        {"\xF0\x9F\x91" "\xF0\x9F\x91\x8D", kFFFD + kFFFD + kFFFD + "\xF0\x9F\x91\x8D"},
        {std::string("nul\0ok", 6), std::string("nul\0ok", 6)},           // NUL is a character
        {"\xFF\xFE", kFFFD + kFFFD},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isValidUtf8(c.bad), c.bad == c.repaired) << c.bad;
        EXPECT_EQ(repairUtf8(c.bad), c.repaired) << c.bad;
        EXPECT_TRUE(isValidUtf8(c.repaired)) << c.bad;
    }
    // Splitting repairs the same way: each bad byte is one character of its own.
    EXPECT_EQ(graphemeClusters("a\xFF" "b\xE2\x82"), (std::vector<std::string>{"a", kFFFD, "b", kFFFD, kFFFD}));
    auto bounds = graphemeBoundaries("a\xFF" "b");
    EXPECT_EQ(bounds, (std::vector<std::size_t>{0, 1, 4, 5})) << "offsets into the repaired text";
    // Well-formed text comes back untouched.
    const std::string good = "caf\xC3\xA9 " + kFamily + kFrance;
    EXPECT_TRUE(isValidUtf8(good));
    EXPECT_EQ(repairUtf8(good), good);
}

TEST(Graphemes, TheBoundaryBeforeACaretStepsOverAWholeCharacter)
{
    const std::string text = "a" + kFamily + kAccented + kFrance + kGermany;
    std::size_t family = 1, accented = family + kFamily.size(), france = accented + kAccented.size(),
                germany = france + kFrance.size();
    EXPECT_EQ(previousGraphemeBoundary(text, text.size()), germany);
    EXPECT_EQ(previousGraphemeBoundary(text, germany), france);
    EXPECT_EQ(previousGraphemeBoundary(text, france), accented);
    EXPECT_EQ(previousGraphemeBoundary(text, accented), family);
    EXPECT_EQ(previousGraphemeBoundary(text, family), 0u);
    EXPECT_EQ(previousGraphemeBoundary(text, 0), 0u);
    // A caret past the end counts as at the end.
    EXPECT_EQ(previousGraphemeBoundary(text, text.size() + 5), germany);
    // Deleting from the end one step at a time visits every boundary once.
    auto bounds = graphemeBoundaries(text);
    std::vector<std::size_t> visited{text.size()};
    while (visited.back() > 0)
        visited.push_back(previousGraphemeBoundary(text, visited.back()));
    std::reverse(visited.begin(), visited.end());
    EXPECT_EQ(visited, bounds);
}
