#include "EditorFixture.h"

#include "app/MessageFit.h"
#include "graphics/TextLayout.h"
#include "options/OptionsView.h"
#include "system/Keyboard.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Responder.h"

#include <gtest/gtest.h>

using namespace vq;
using vq::test::Editor;

namespace {

struct Rules {
    DeviceProfile profile;
    double width, limit, minimum, pad;
    double fontSize;
};

class MessageRules : public testing::TestWithParam<Rules> {
protected:
    Editor e{GetParam().profile};
    const Rules& r = GetParam();

    double heightOf(const std::string& s) const { return measureText(s, Font::systemFont(r.fontSize), r.width).height; }

    // Types one character at a time until the message overflows; returns the
    // text from before that last key.
    std::string typeUntilOverflow()
    {
        std::string before;
        for (int i = 0; i < 2000; ++i) {
            before = e.text().text();
            e.harness.type(i % 6 == 5 ? " " : "w");
            if (heightOf(e.text().text()) > r.limit)
                return before;
        }
        ADD_FAILURE() << "never overflowed";
        return before;
    }
};

const Rules kRules[] = {{DeviceProfile::Phone, 140, 125, 40, 20, 17}, {DeviceProfile::Tablet, 200, 195, 90, 16, 21}};

} // namespace

TEST_P(MessageRules, ReturnClosesTheKeyboardAndInsertsNothing)
{
    e.focus();
    ASSERT_TRUE(e.text().isFirstResponder());
    ASSERT_TRUE(Keyboard::shared().isVisible());
    e.harness.type("hi\nthere");
    EXPECT_EQ(e.text().text(), "hi");
    EXPECT_FALSE(e.text().isFirstResponder());
    EXPECT_FALSE(Keyboard::shared().isVisible());
}

TEST_P(MessageRules, OverflowByTypingShowsThenRevertsAndRefusesEveryEditMeanwhile)
{
    e.focus();
    std::string before = typeUntilOverflow();
    std::string overflowing = e.text().text();
    ASSERT_NE(overflowing, before);
    Rect frameBefore = e.text().frame();

    e.harness.advance(0.2);
    e.harness.type("z");
    e.harness.backspace();
    e.harness.paste("more");
    EXPECT_EQ(e.text().text(), overflowing);
    EXPECT_EQ(e.text().frame(), frameBefore);
    EXPECT_EQ(e.vc().previousText(), before);

    e.harness.advance(0.29);
    EXPECT_EQ(e.text().text(), overflowing);
    e.harness.advance(0.02);
    EXPECT_EQ(e.text().text(), before);

    // Editing works again once the text fits.
    e.harness.backspace();
    EXPECT_EQ(e.text().text(), before.substr(0, before.size() - 1));
}

TEST_P(MessageRules, OverflowByPasteRevertsToTheTextBeforeThePaste)
{
    e.focus();
    std::string before = typeUntilOverflow();
    e.harness.advance(0.5);
    ASSERT_EQ(e.text().text(), before);
    // A paste that fits by itself but not after the message: shown, then undone.
    std::string some(20, 'm');
    e.harness.paste(some);
    EXPECT_EQ(e.text().text(), before + some);
    e.harness.advance(0.5);
    EXPECT_EQ(e.text().text(), before);
}

TEST_P(MessageRules, APasteThatCannotFitByItselfIsRefusedAtOnce)
{
    e.focus();
    e.harness.type("ab");
    Size laidOut = e.text().contentSize();
    for (std::size_t size : {std::size_t{400}, std::size_t{1'200'000}}) {
        SCOPED_TRACE(size);
        std::string lots;
        while (lots.size() < size)
            lots += "hello world ";
        e.harness.paste(lots);
        EXPECT_EQ(e.text().text(), "ab");
        EXPECT_EQ(e.text().contentSize(), laidOut) << "the text view never laid it out";
        EXPECT_EQ(e.vc().previousText(), "ab");
    }
    // Typing goes on as before.
    e.harness.type("c");
    EXPECT_EQ(e.text().text(), "abc");
}

TEST_P(MessageRules, AHugeTextIsOverTheLimitWithoutBeingLaidOutWhole)
{
    std::string huge;
    while (huge.size() < 4'800'000)
        huge += "wwwww é ";
    std::size_t longest = 0;
    auto measured = [&](double fixed) {
        return [&, fixed](const std::string& s) {
            longest = std::max(longest, s.size());
            return fixed < 0 ? heightOf(s) : fixed;
        };
    };
    EXPECT_GT(app::heightWithin(huge, r.limit, measured(-1)), r.limit);
    EXPECT_LT(longest, 100'000u);

    // What fits is measured whole, however long.
    longest = 0;
    EXPECT_EQ(app::heightWithin(huge, r.limit, measured(r.limit)), r.limit);
    EXPECT_EQ(longest, huge.size());
    longest = 0;
    EXPECT_EQ(app::heightWithin("short", r.limit, measured(-1)), heightOf("short"));
    EXPECT_EQ(longest, 5u);
}

TEST_P(MessageRules, KeepsTheMinimumHeightThenGrowsByTheTextHeightPlusPad)
{
    auto& vc = e.vc();
    e.focus();
    // The keyboard has moved the buttons; the message stays on their line.
    Point centre{vc.view()->frame().width() / 2, vc.randomButton()->center().y};
    e.harness.type("one line");
    EXPECT_EQ(e.text().frame().height(), r.minimum);
    EXPECT_EQ(vc.previousText(), std::optional<std::string>("one line"));

    std::string tall = "several words that wrap onto quite a few lines here";
    e.harness.paste(" " + tall);
    double h = heightOf(e.text().text());
    ASSERT_GT(h, r.minimum);
    ASSERT_LE(h, r.limit);
    EXPECT_DOUBLE_EQ(e.text().frame().height(), h + r.pad);
    EXPECT_EQ(e.text().frame().width(), r.profile == DeviceProfile::Tablet ? 215 : 150);
    EXPECT_EQ(e.text().center(), centre);
    EXPECT_EQ(vc.previousText(), e.text().text());

    // Shrinking back follows the text too.
    for (std::size_t i = 0; i < tall.size() + 1; ++i)
        e.harness.backspace();
    EXPECT_EQ(e.text().text(), "one line");
    EXPECT_EQ(e.text().frame().height(), r.minimum);
    EXPECT_EQ(e.text().center(), centre);
}

TEST_P(MessageRules, KeyboardMovesThePanelAndCarriesTheMessageAlong)
{
    auto& vc = e.vc();
    auto panel = vc.optionsView();
    bool tablet = r.profile == DeviceProfile::Tablet;
    double appH = tablet ? 1024 : 480;
    double panelH = tablet ? 523 : 263;
    double tabH = tablet ? 100 : 49;

    e.focus();
    double keyboardTop = Keyboard::shared().frame().y();
    double y = panel->frame().y();
    EXPECT_DOUBLE_EQ(y, keyboardTop - tabH);
    EXPECT_EQ(panel->frame().height(), panelH);
    double middle = y / 2 + 22;
    for (auto v : {std::static_pointer_cast<View>(vc.clearButton()), std::static_pointer_cast<View>(vc.randomButton()),
                   std::static_pointer_cast<View>(vc.textView())})
        EXPECT_DOUBLE_EQ(v->center().y, middle);
    // Animated over half a second.
    e.harness.advance(0.25);
    EXPECT_TRUE(panel->hasRunningAnimations());
    e.harness.advance(0.26);
    EXPECT_FALSE(panel->hasRunningAnimations());
    EXPECT_DOUBLE_EQ(panel->presentationFrame().y(), y);

    e.harness.type("\n");
    EXPECT_DOUBLE_EQ(panel->frame().y(), appH - panelH);
    middle = panel->frame().y() / 2 + 22;
    EXPECT_DOUBLE_EQ(vc.textView()->center().y, middle);
    EXPECT_DOUBLE_EQ(vc.randomButton()->center().y, middle);
    EXPECT_DOUBLE_EQ(vc.textView()->center().x, vc.view()->frame().width() / 2);
}

INSTANTIATE_TEST_SUITE_P(Devices, MessageRules, testing::ValuesIn(kRules),
                         [](const auto& param) { return std::string(profileInfo(param.param.profile).name); });

TEST(MessageRulesOldSystem, GrowsToTheContentHeightWithoutPad)
{
    Editor e(DeviceProfile::Phone, "6.1");
    e.focus();
    e.harness.type("short");
    EXPECT_EQ(e.text().frame().height(), 40);
    e.harness.paste(" and then a good many more words to wrap");
    double content = e.text().contentSize().height;
    ASSERT_GT(content, 40);
    EXPECT_DOUBLE_EQ(e.text().frame().height(), content);
    EXPECT_EQ(e.text().center().y, e.vc().randomButton()->center().y);
}

TEST(MessageRulesTwoLines, ATwoLineMessageShowsBothLinesWholeOnEveryDevice)
{
    for (auto profile : {DeviceProfile::Phone, DeviceProfile::Tall, DeviceProfile::Tablet})
        for (const char* version : {"6.1", "7.0"}) {
            SCOPED_TRACE(std::string(profileInfo(profile).name) + " " + version);
            Editor e(profile, version);
            e.focus();
            // Words until the text wraps onto a second line.
            const Font& font = e.text().font();
            double width = profile == DeviceProfile::Tablet ? 200 : 140;
            double oneLine = measureText("w", font, width).height;
            std::string text = "w";
            while (measureText(text, font, width).height < 1.5 * oneLine)
                text += " word";
            e.harness.type(text);
            ASSERT_EQ(e.text().text(), text);
            double lines = e.text().contentSize().height - TextView::kInsetTop - TextView::kInsetBottom;
            ASSERT_NEAR(lines, 2 * oneLine, 0.5);
            // The whole content fits in the frame: nothing is scrolled away.
            EXPECT_GE(e.text().frame().height() + 1e-9, e.text().contentSize().height);
            EXPECT_EQ(e.text().contentOffset().y, 0);
        }
}
