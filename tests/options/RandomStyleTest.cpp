#include "PanelFixture.h"

#include "options/StyleCatalogue.h"
#include "ui/Button.h"
#include "ui/ScrollView.h"
#include "ui/TableView.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <set>

using namespace vq;
using vq::test::PanelOnScreen;

namespace {

// Each test starts a fresh process's worth of random state.
class RandomStyle : public testing::Test {
protected:
    void SetUp() override { OptionsView::resetDrawCounterForTests(); }
    void TearDown() override
    {
        OptionsView::setRandomSourceForTests(nullptr);
        OptionsView::resetDrawCounterForTests();
    }

    // Hands out the given values, then zeros; counts every draw.
    void script(std::deque<std::uint32_t> values)
    {
        _values = std::move(values);
        _draws = 0;
        OptionsView::setRandomSourceForTests([this] {
            ++_draws;
            if (_values.empty())
                return std::uint32_t{0};
            auto v = _values.front();
            _values.pop_front();
            return v;
        });
    }
    int draws() const { return _draws; }

    static int swatchOf(const Color& c)
    {
        for (int n = 1; n <= StyleCatalogue::swatchCount; ++n)
            if (StyleCatalogue::paletteColor(n) == c)
                return n;
        return 0;
    }

private:
    std::deque<std::uint32_t> _values;
    int _draws = 0;
};

} // namespace

TEST_F(RandomStyle, DrawsIncludeBothEndsAndTakeTheRemainderUnsigned)
{
    script({0, 1, 2, 0xFFFFFFFFu, 0x80000000u});
    EXPECT_EQ(OptionsView::getRandomNumber(43, 90), 43);
    EXPECT_EQ(OptionsView::getRandomNumber(0, 1), 1);
    EXPECT_EQ(OptionsView::getRandomNumber(1, 2), 1);
    // 4294967295 = 66 * 65075262 + 3; a signed remainder would go negative.
    EXPECT_EQ(OptionsView::getRandomNumber(0, 65), 3);
    // 2147483648 = 48 * 44739242 + 32.
    EXPECT_EQ(OptionsView::getRandomNumber(43, 90), 75);

    OptionsView::setRandomSourceForTests(nullptr);
    std::set<int> seen;
    for (int i = 0; i < 2000; ++i) {
        int v = OptionsView::getRandomNumber(1, 6);
        ASSERT_GE(v, 1);
        ASSERT_LE(v, 6);
        seen.insert(v);
    }
    EXPECT_EQ(seen.size(), 6u) << "the system source reaches every value";
}

TEST_F(RandomStyle, ScriptedDrawsPickTheirSwatchesTextureAndRow)
{
    PanelOnScreen s;
    auto& p = *s.panel;
    ASSERT_GE(p.fontArray().size(), 3u);
    // mode 0, text index 65, background index 59, texture 1 (unused), font row 2.
    script({0, 65, 59, 0, 2});
    p.random();
    EXPECT_EQ(draws(), 5);
    ASSERT_EQ(s.delegate->ops(), (std::vector<std::string>{"font", "textColor", "bgColor"}));
    EXPECT_EQ(s.delegate->calls[0].font->fontName(), p.fontArray()[2]);
    EXPECT_EQ(swatchOf(*s.delegate->calls[1].color), 66);
    EXPECT_EQ(swatchOf(*s.delegate->calls[2].color), 60);
    EXPECT_EQ(p.fontTableView()->indexPathForSelectedRow()->row, 2);
    EXPECT_EQ(OptionsView::drawCounter(), 1);

    // Marks: text on 66, background on 60, texture hidden.
    EXPECT_EQ(s.mark(p.textColorView())->center(), s.swatch(p.textColorView(), 66)->center());
    EXPECT_FALSE(s.mark(p.bgColorView())->isHidden());
    EXPECT_EQ(s.mark(p.bgColorView())->center(), s.swatch(p.bgColorView(), 60)->center());
    EXPECT_TRUE(s.mark(p.textureView())->isHidden());

    // mode 1, texture draw 41 -> texture 42: the reverse marks.
    s.delegate->calls.clear();
    script({1, 0, 0, 41, 0});
    p.random();
    ASSERT_EQ(s.delegate->ops(), (std::vector<std::string>{"font", "textColor", "texture"}));
    EXPECT_EQ(s.delegate->calls[2].texture, "42");
    EXPECT_TRUE(s.delegate->calls[0].font->isSystemFont());
    EXPECT_TRUE(s.mark(p.bgColorView())->isHidden());
    EXPECT_FALSE(s.mark(p.textureView())->isHidden());
    EXPECT_EQ(s.mark(p.textureView())->center(), p.textureView()->viewWithTag(42)->center());
    EXPECT_EQ(s.mark(p.textColorView())->center(), s.swatch(p.textColorView(), 1)->center());

    // mode 0 again, background index 5 -> swatch 6: the texture mark goes, one background mark is left.
    s.delegate->calls.clear();
    script({0, 0, 5, 0, 0});
    p.random();
    ASSERT_EQ(s.delegate->ops(), (std::vector<std::string>{"font", "textColor", "bgColor"}));
    EXPECT_TRUE(s.mark(p.textureView())->isHidden());
    EXPECT_FALSE(s.mark(p.bgColorView())->isHidden());
    EXPECT_EQ(s.mark(p.bgColorView())->center(), s.swatch(p.bgColorView(), 6)->center());
}

TEST_F(RandomStyle, EveryFourthStyleIsATextureFromTheSecondSet)
{
    PanelOnScreen s;
    auto& p = *s.panel;
    // All zeros: background colour 1 three times, then texture 43 with a sixth draw.
    script({});
    for (int call = 1; call <= 8; ++call) {
        SCOPED_TRACE(call);
        s.delegate->calls.clear();
        int before = draws();
        p.random();
        ASSERT_EQ(s.delegate->calls.size(), 3u);
        if (call % 4 == 0) {
            EXPECT_EQ(draws() - before, 6);
            EXPECT_EQ(s.delegate->calls[2].op, "texture");
            EXPECT_EQ(s.delegate->calls[2].texture, "43");
        } else {
            EXPECT_EQ(draws() - before, 5);
            EXPECT_EQ(s.delegate->calls[2].op, "bgColor");
        }
    }

    // With the system source: order, ranges and the four-call rhythm hold throughout.
    OptionsView::setRandomSourceForTests(nullptr);
    OptionsView::resetDrawCounterForTests();
    std::set<std::string> backgroundKinds;
    for (int call = 1; call <= 200; ++call) {
        s.delegate->calls.clear();
        p.random();
        ASSERT_EQ(s.delegate->ops()[0], "font") << call;
        ASSERT_EQ(s.delegate->ops()[1], "textColor") << call;
        const auto& bg = s.delegate->calls.at(2);
        backgroundKinds.insert(bg.op);
        ASSERT_NE(swatchOf(*s.delegate->calls[1].color), 0) << call;
        if (bg.op == "texture") {
            int n = std::stoi(bg.texture);
            if (call % 4 == 0) {
                ASSERT_GE(n, 43) << call;
                ASSERT_LE(n, 90) << call;
            } else {
                ASSERT_GE(n, 1) << call;
                ASSERT_LE(n, 42) << call;
            }
        } else {
            ASSERT_EQ(bg.op, "bgColor") << call;
            ASSERT_NE(call % 4, 0) << call;
            int swatch = swatchOf(*bg.color);
            ASSERT_GE(swatch, 1) << call;
            ASSERT_LE(swatch, 60) << call;
        }
    }
    EXPECT_EQ(backgroundKinds.size(), 2u);
    EXPECT_EQ(OptionsView::drawCounter(), 200);
}

TEST_F(RandomStyle, OnTheFontPageTheDrawnRowIsSelectedAtTheTopWithoutChangingPage)
{
    PanelOnScreen s;
    auto& p = *s.panel;
    p.setHiddenAndShow(*p.fontTableButton());
    auto table = p.fontTableView();
    ASSERT_GE(p.fontArray().size(), 4u);
    script({0, 10, 20, 5, 3});
    p.random();
    EXPECT_EQ(p.currentStatus(), 2027);
    EXPECT_FALSE(table->isHidden());
    EXPECT_TRUE(p.textColorView()->isHidden());
    EXPECT_TRUE(p.bgColorView()->isHidden());
    EXPECT_TRUE(p.fontTableButton()->isSelected());
    EXPECT_FALSE(p.textColorButton()->isSelected());
    ASSERT_TRUE(table->indexPathForSelectedRow());
    EXPECT_EQ(table->indexPathForSelectedRow()->row, 3);
    double top = std::min(table->rectForRowAtIndexPath({0, 3}).origin.y, table->maxContentOffset().y);
    EXPECT_DOUBLE_EQ(table->contentOffset().y, top);
    // The hidden boards' marks moved anyway.
    EXPECT_EQ(s.mark(p.textColorView())->center(), s.swatch(p.textColorView(), 11)->center());
    EXPECT_EQ(s.mark(p.bgColorView())->center(), s.swatch(p.bgColorView(), 21)->center());
}

TEST_F(RandomStyle, AOneEntryFontListAlwaysGivesTheSystemFont)
{
    PanelOnScreen s(DeviceProfile::Tablet, std::vector<std::string>{"System Normal"});
    auto& p = *s.panel;
    for (int call = 0; call < 12; ++call) {
        s.delegate->calls.clear();
        p.random();
        ASSERT_EQ(s.delegate->calls.at(0).op, "font");
        EXPECT_TRUE(s.delegate->calls[0].font->isSystemFont());
        EXPECT_DOUBLE_EQ(s.delegate->calls[0].font->pointSize(), 21);
        EXPECT_EQ(p.fontTableView()->indexPathForSelectedRow()->row, 0);
    }
}
