#include "PanelFixture.h"

#include "graphics/Image.h"
#include "options/StyleCatalogue.h"
#include "system/Application.h"
#include "system/Device.h"
#include "system/DeviceVariant.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/ScrollView.h"
#include "ui/TableView.h"
#include "ui/TableViewCell.h"

#include <gtest/gtest.h>

using namespace vq;
using vq::test::Harness;
using vq::test::PanelOnScreen;

namespace {

void expectRect(Rect actual, Rect expected, const char* what)
{
    EXPECT_DOUBLE_EQ(actual.origin.x, expected.origin.x) << what;
    EXPECT_DOUBLE_EQ(actual.origin.y, expected.origin.y) << what;
    EXPECT_DOUBLE_EQ(actual.size.width, expected.size.width) << what;
    EXPECT_DOUBLE_EQ(actual.size.height, expected.size.height) << what;
}

void expectPoint(Point actual, Point expected, const char* what)
{
    EXPECT_DOUBLE_EQ(actual.x, expected.x) << what;
    EXPECT_DOUBLE_EQ(actual.y, expected.y) << what;
}

} // namespace

TEST(DeviceVariantRule, ModelNameAndScreenModeDecide)
{
    Harness harness(DeviceProfile::Phone);
    EXPECT_EQ(currentDeviceVariant(), DeviceVariant::Phone);

    Application::shared().setDeviceProfile(DeviceProfile::Tall);
    EXPECT_EQ(currentDeviceVariant(), DeviceVariant::TallPhone);
    EXPECT_TRUE(isTallPhone());
    EXPECT_FALSE(isTablet());

    // A tablet wins over the tall screen mode.
    for (const char* model : {"iPad", "IPAD mini", "my ipad"}) {
        Device::current().setModel(std::string(model));
        EXPECT_EQ(currentDeviceVariant(), DeviceVariant::Tablet) << model;
        EXPECT_FALSE(isTallPhone()) << model;
    }
    Device::current().setModel(std::nullopt);
    EXPECT_TRUE(isTablet());
    Device::current().setModel(std::string("iPhone"));
    EXPECT_EQ(currentDeviceVariant(), DeviceVariant::TallPhone);

    Application::shared().setDeviceProfile(DeviceProfile::Tablet);
    EXPECT_EQ(currentDeviceVariant(), DeviceVariant::Tablet);
}

// ---- geometry per device variant ----

struct GeometryCase {
    DeviceProfile profile;
    const char* background;
    const char* textTab;
    const char* textTabSelected;
    Size panel;
    Size tab;
    Point tabCentres[4];
    Rect board;
    double colourContent;
    double textureContent;
    Point firstCell, lastSwatch, lastTexture;
    Size cell, mark;
    Rect fontList;
    double rowHeight, fontSize;
};

class OptionsGeometry : public testing::TestWithParam<GeometryCase> {};

TEST_P(OptionsGeometry, FramesImagesAndTagsMatchTheVariant)
{
    const auto& g = GetParam();
    PanelOnScreen s(g.profile);
    auto& panel = *s.panel;
    EXPECT_STREQ(panel.className(), "OptionsView");
    ASSERT_DOUBLE_EQ(panel.bounds().size.height, g.panel.height);

    // Background first, at the panel's full size.
    auto background = std::dynamic_pointer_cast<ImageView>(panel.subviews().front());
    ASSERT_TRUE(background);
    expectRect(background->frame(), {{0, 0}, g.panel}, "background");
    ASSERT_TRUE(background->image());
    EXPECT_EQ(background->image()->name(), g.background);

    std::shared_ptr<Button> tabs[] = {panel.textColorButton(), panel.bgColorButton(), panel.textureButton(),
                                      panel.fontTableButton()};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(tabs[k]->tag(), 2024 + k);
        EXPECT_EQ(panel.viewWithTag(2024 + k), tabs[k]);
        expectPoint(tabs[k]->center(), g.tabCentres[k], "tab centre");
        EXPECT_DOUBLE_EQ(tabs[k]->bounds().size.width, g.tab.width);
        EXPECT_DOUBLE_EQ(tabs[k]->bounds().size.height, g.tab.height);
    }
    ASSERT_TRUE(tabs[0]->imageForState(ControlState::Normal));
    ASSERT_TRUE(tabs[0]->imageForState(ControlState::Selected));
    EXPECT_EQ(tabs[0]->imageForState(ControlState::Normal)->name(), g.textTab);
    EXPECT_EQ(tabs[0]->imageForState(ControlState::Selected)->name(), g.textTabSelected);
    // Tabs lie above the pages they overlap, in tab order.
    auto& subs = panel.subviews();
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(subs[subs.size() - 4 + static_cast<std::size_t>(k)], tabs[k]);

    for (auto [board, tag, contentTag, content, items] :
         {std::tuple{panel.textColorView(), 1024, 3024, g.colourContent, 66},
          std::tuple{panel.bgColorView(), 1025, 3024, g.colourContent, 66},
          std::tuple{panel.textureView(), 1026, 3026, g.textureContent, 90}}) {
        SCOPED_TRACE(tag);
        EXPECT_EQ(board->tag(), tag);
        EXPECT_EQ(panel.viewWithTag(tag), board);
        expectRect(board->frame(), g.board, "board");
        EXPECT_DOUBLE_EQ(board->contentSize().height, content);
        EXPECT_TRUE(board->showsVerticalScrollIndicator());
        EXPECT_FALSE(board->showsHorizontalScrollIndicator());
        EXPECT_TRUE(board->alwaysBounceVertical());
        auto contentView = board->viewWithTag(contentTag);
        ASSERT_TRUE(contentView);
        expectRect(contentView->frame(), {{0, 0}, {g.board.size.width, content}}, "content");
        // Controls numbered 1.. in order, the mark last and hidden.
        ASSERT_EQ(contentView->subviews().size(), static_cast<std::size_t>(items + 1));
        for (int i = 0; i < items; ++i)
            ASSERT_EQ(contentView->subviews()[static_cast<std::size_t>(i)]->tag(), i + 1);
        auto mark = std::dynamic_pointer_cast<ImageView>(contentView->subviews().back());
        ASSERT_TRUE(mark);
        EXPECT_EQ(mark->tag(), 3025);
        EXPECT_TRUE(mark->isHidden());
        EXPECT_DOUBLE_EQ(mark->bounds().size.width, g.mark.width);
        ASSERT_TRUE(mark->image());
        EXPECT_EQ(mark->image()->name(), "square-hl");
        auto first = contentView->subviews().front();
        expectPoint(first->center(), g.firstCell, "first cell");
        EXPECT_DOUBLE_EQ(first->bounds().size.width, g.cell.width);
        EXPECT_DOUBLE_EQ(first->bounds().size.height, g.cell.height);
        expectPoint(contentView->subviews()[static_cast<std::size_t>(items - 1)]->center(),
                    items == 66 ? g.lastSwatch : g.lastTexture, "last cell");
    }

    auto swatch37 = panel.bgColorView()->viewWithTag(37);
    EXPECT_DOUBLE_EQ(swatch37->cornerRadius(), 8);
    EXPECT_EQ(swatch37->backgroundColor(), StyleCatalogue::paletteColor(37));
    auto texture90 = std::dynamic_pointer_cast<Button>(panel.textureView()->viewWithTag(90));
    ASSERT_TRUE(texture90 && texture90->imageForState(ControlState::Normal));
    EXPECT_EQ(texture90->imageForState(ControlState::Normal)->name(), "T-90");

    auto table = panel.fontTableView();
    panel.setHiddenAndShow(*panel.fontTableButton());
    EXPECT_EQ(table->tag(), 1027);
    EXPECT_EQ(panel.viewWithTag(1027), table);
    expectRect(table->frame(), g.fontList, "font list");
    EXPECT_EQ(table->backgroundColor(), Color::clearColor());
    ASSERT_TRUE(table->tableHeaderView());
    EXPECT_DOUBLE_EQ(table->tableHeaderView()->bounds().size.height, 4);
    EXPECT_DOUBLE_EQ(table->tableHeaderView()->bounds().size.width, g.panel.width);
    EXPECT_DOUBLE_EQ(table->rectForRowAtIndexPath({0, 1}).size.height, g.rowHeight);
    EXPECT_DOUBLE_EQ(table->rectForRowAtIndexPath({0, 0}).origin.y, 4);
    // The size the list shows is the size handed out.
    panel.didSelectRowAtIndexPath(*table, {0, 1});
    ASSERT_EQ(s.delegate->ops().back(), "font");
    EXPECT_DOUBLE_EQ(s.delegate->calls.back().font->pointSize(), g.fontSize);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, OptionsGeometry,
    testing::Values(
        GeometryCase{DeviceProfile::Phone, "bg-1", "text", "text-hl", {320, 263}, {80, 49},
                     {{40, 24}, {120, 24}, {200, 24}, {280, 24}}, {{8.5, 44}, {303, 214}}, 552, 748,
                     {29, 33}, {274, 523}, {274, 719}, {40, 40}, {44, 44}, {{0, 45}, {320, 214}}, 30, 17},
        GeometryCase{DeviceProfile::Tall, "bg-1-i5", "text", "text-hl", {320, 302}, {80, 49},
                     {{40, 24}, {120, 24}, {200, 24}, {280, 24}}, {{8.5, 44}, {303, 253}}, 552, 748,
                     {29, 33}, {274, 523}, {274, 719}, {40, 40}, {44, 44}, {{0, 45}, {320, 253}}, 30, 17},
        GeometryCase{DeviceProfile::Tablet, "bg-1-ipad", "text-ipad", "text-hl-ipad", {768, 523}, {192, 100},
                     {{96, 52}, {288, 52}, {480, 52}, {672, 52}}, {{14, 93.5}, {740, 426}}, 1340, 1812,
                     {78, 82}, {668, 1262}, {668, 1734}, {80, 80}, {88, 88}, {{0, 96}, {768, 423}}, 45, 21}),
    [](const testing::TestParamInfo<GeometryCase>& param) {
        return std::string(profileInfo(param.param.profile).name);
    });

// ---- pages and tabs ----

TEST(OptionsTabs, StartsOnTheTextColourPageWithNoMarks)
{
    PanelOnScreen s;
    auto& p = *s.panel;
    EXPECT_EQ(p.currentStatus(), 2024);
    EXPECT_FALSE(p.textColorView()->isHidden());
    EXPECT_TRUE(p.bgColorView()->isHidden());
    EXPECT_TRUE(p.textureView()->isHidden());
    EXPECT_TRUE(p.fontTableView()->isHidden());
    EXPECT_TRUE(p.textColorButton()->isSelected());
    EXPECT_FALSE(p.bgColorButton()->isSelected() || p.textureButton()->isSelected() || p.fontTableButton()->isSelected());
    for (const auto& page : {p.textColorView(), p.bgColorView(), p.textureView()})
        EXPECT_TRUE(s.mark(page)->isHidden());
    ASSERT_FALSE(p.fontArray().empty());
    EXPECT_EQ(p.fontArray().front(), "System Normal");
}

TEST(OptionsTabs, TappingATabResignsAndShowsExactlyItsPage)
{
    PanelOnScreen s;
    auto& p = *s.panel;
    std::shared_ptr<Button> tabs[] = {p.textColorButton(), p.bgColorButton(), p.textureButton(), p.fontTableButton()};
    std::shared_ptr<View> pages[] = {p.textColorView(), p.bgColorView(), p.textureView(), p.fontTableView()};
    // The panel sits at y = 480 - 263; tabs are centred at y = 24 in it.
    for (int k : {2, 0, 3, 3, 1}) {
        s.delegate->calls.clear();
        s.harness.tap(80 * k + 40, 217 + 24);
        EXPECT_EQ(s.delegate->ops(), std::vector<std::string>{"resign"}) << k;
        EXPECT_EQ(p.currentStatus(), 2024 + k);
        for (int j = 0; j < 4; ++j) {
            EXPECT_EQ(tabs[j]->isSelected(), j == k) << k << " tab " << j;
            EXPECT_EQ(pages[j]->isHidden(), j != k) << k << " page " << j;
        }
    }
}

// ---- picks ----

TEST(OptionsPicks, SwatchOnTheTextPageSendsOnlyTheTextColour)
{
    PanelOnScreen s;
    auto& p = *s.panel;
    auto swatch1 = s.swatch(p.textColorView(), 1);
    p.selectColor(*swatch1);
    ASSERT_EQ(s.delegate->ops(), std::vector<std::string>{"textColor"});
    EXPECT_EQ(s.delegate->calls[0].color, Color::rgb255(255, 204, 204));
    auto mark = s.mark(p.textColorView());
    EXPECT_FALSE(mark->isHidden());
    expectPoint(mark->center(), swatch1->center(), "text mark");
    EXPECT_TRUE(s.mark(p.bgColorView())->isHidden());

    // The mark follows the next pick.
    p.selectColor(*s.swatch(p.textColorView(), 66));
    expectPoint(mark->center(), {274, 523}, "text mark after 66");
    EXPECT_EQ(s.delegate->calls.back().color, Color::blackColor());
}

TEST(OptionsPicks, SwatchOnTheBackgroundPageHidesTheTextureMarkOnly)
{
    PanelOnScreen s;
    auto& p = *s.panel;
    p.selectColor(*s.swatch(p.textColorView(), 20));
    p.setHiddenAndShow(*p.bgColorButton());
    p.selectTexture(*p.textureView()->viewWithTag(5));
    ASSERT_FALSE(s.mark(p.textureView())->isHidden());
    s.delegate->calls.clear();

    auto swatch1 = s.swatch(p.bgColorView(), 1);
    p.selectColor(*swatch1);
    ASSERT_EQ(s.delegate->ops(), std::vector<std::string>{"bgColor"});
    EXPECT_EQ(s.delegate->calls[0].color, Color::rgb255(255, 204, 204));
    EXPECT_TRUE(s.mark(p.textureView())->isHidden());
    EXPECT_FALSE(s.mark(p.bgColorView())->isHidden());
    expectPoint(s.mark(p.bgColorView())->center(), swatch1->center(), "background mark");
    // The text board's mark stays on swatch 20.
    EXPECT_FALSE(s.mark(p.textColorView())->isHidden());
    expectPoint(s.mark(p.textColorView())->center(), s.swatch(p.textColorView(), 20)->center(), "text mark");
}

TEST(OptionsPicks, TexturePickSendsItsNumberAndHidesTheBackgroundMark)
{
    PanelOnScreen s;
    auto& p = *s.panel;
    p.setHiddenAndShow(*p.bgColorButton());
    p.selectColor(*s.swatch(p.bgColorView(), 9));
    p.setHiddenAndShow(*p.textureButton());
    s.delegate->calls.clear();

    auto texture90 = p.textureView()->viewWithTag(90);
    p.selectTexture(*texture90);
    ASSERT_EQ(s.delegate->ops(), std::vector<std::string>{"texture"});
    EXPECT_EQ(s.delegate->calls[0].texture, "90");
    EXPECT_FALSE(s.mark(p.textureView())->isHidden());
    expectPoint(s.mark(p.textureView())->center(), {274, 719}, "texture mark");
    EXPECT_TRUE(s.mark(p.bgColorView())->isHidden());

    // On a page other than the two colour pages a swatch sends no colour.
    s.delegate->calls.clear();
    p.selectColor(*s.swatch(p.textColorView(), 3));
    EXPECT_TRUE(s.delegate->calls.empty());
}

TEST(OptionsPicks, APanelWithoutADelegateSendsNothingButMovesMarks)
{
    PanelOnScreen s;
    auto& p = *s.panel;
    p.setDelegate({});
    p.setHiddenAndShow(*p.textureButton());
    p.selectTexture(*p.textureView()->viewWithTag(2));
    p.didSelectRowAtIndexPath(*p.fontTableView(), IndexPath{0, 0});
    EXPECT_TRUE(s.delegate->calls.empty());
    EXPECT_EQ(p.currentStatus(), 2026);
    EXPECT_FALSE(s.mark(p.textureView())->isHidden());
}

// ---- font list ----

TEST(OptionsFontList, RowZeroIsTheSystemFontAndOtherRowsTheirNamedFace)
{
    PanelOnScreen s;
    auto& p = *s.panel;
    ASSERT_GE(p.fontArray().size(), 2u) << "the test font set has faces";
    auto table = p.fontTableView();
    p.didSelectRowAtIndexPath(*table, {0, 0});
    p.didSelectRowAtIndexPath(*table, {0, 1});
    ASSERT_EQ(s.delegate->ops(), (std::vector<std::string>{"font", "font"}));
    const auto& system = *s.delegate->calls[0].font;
    EXPECT_TRUE(system.isSystemFont());
    EXPECT_EQ(system, Font::systemFont(17));
    const auto& named = *s.delegate->calls[1].font;
    EXPECT_FALSE(named.isSystemFont());
    EXPECT_EQ(named.fontName(), p.fontArray()[1]);
    EXPECT_DOUBLE_EQ(named.pointSize(), 17);
}

TEST(OptionsFontList, RowsAreMadeWhenTheListIsFirstNeeded)
{
    // Every row loads its face: a hidden list at launch must not.
    PanelOnScreen s;
    auto& p = *s.panel;
    auto table = p.fontTableView();
    EXPECT_TRUE(table->visibleCells().empty());
    EXPECT_EQ(table->numberOfRowsInSection(0), 0);
    p.setHiddenAndShow(*p.fontTableButton());
    EXPECT_EQ(table->numberOfRowsInSection(0), static_cast<int>(p.fontArray().size()));
    auto cells = table->visibleCells();
    ASSERT_GE(cells.size(), 2u);
    EXPECT_EQ(cells[1]->textLabel()->font().fontName(), p.fontArray()[1]);

    // A random style picks a row before the list was ever shown: the row is there, selected.
    PanelOnScreen fresh;
    fresh.panel->random();
    ASSERT_TRUE(fresh.panel->fontTableView()->indexPathForSelectedRow());
    EXPECT_FALSE(fresh.panel->fontTableView()->visibleCells().empty());
}

TEST(OptionsFontList, CellsAlternateIdentifiersAndShowTheirOwnFace)
{
    PanelOnScreen s;
    auto& p = *s.panel;
    auto table = p.fontTableView();
    for (int row : {0, 1, 2, 3}) {
        SCOPED_TRACE(row);
        auto cell = p.cellForRowAtIndexPath(*table, {0, row});
        EXPECT_EQ(cell->reuseIdentifier(), row % 2 ? "SimpleTableIdentifier" : "SimpleTableIdentifier2");
        EXPECT_EQ(cell->style(), TableViewCellStyle::Subtitle);
        EXPECT_EQ(cell->selectionStyle(), TableViewCellSelectionStyle::Blue);
        EXPECT_EQ(cell->backgroundColor(), Color::clearColor());
        EXPECT_EQ(cell->textLabel()->text(), p.fontArray()[static_cast<std::size_t>(row)]);
        EXPECT_EQ(cell->textLabel()->textColor(), Color::whiteColor());
        const Font& font = cell->textLabel()->font();
        EXPECT_EQ(font.isSystemFont(), row == 0);
        if (row > 0) {
            EXPECT_EQ(font.fontName(), p.fontArray()[static_cast<std::size_t>(row)]);
        }
        EXPECT_DOUBLE_EQ(font.pointSize(), 17);
        ASSERT_TRUE(cell->detailTextLabel());
        EXPECT_TRUE(cell->detailTextLabel()->text().empty());
    }

    // A reused cell takes the new row's font, not the old one's.
    p.setHiddenAndShow(*p.fontTableButton());
    table->layoutIfNeeded();
    auto onScreen = table->cellForRowAtIndexPath({0, 2});
    ASSERT_TRUE(onScreen);
    EXPECT_EQ(onScreen->reuseIdentifier(), "SimpleTableIdentifier2");
    EXPECT_EQ(onScreen->textLabel()->font().fontName(), p.fontArray()[2]);
}

TEST(OptionsFontList, TappingARowSendsItsFont)
{
    PanelOnScreen s;
    auto& p = *s.panel;
    s.harness.tap(280, 217 + 24);
    s.delegate->calls.clear();
    // Row 1 of the list: header 4, rows of 30, list top at 45 in the panel.
    s.harness.tap(100, 217 + 45 + 4 + 30 + 15);
    ASSERT_EQ(s.delegate->ops(), std::vector<std::string>{"font"});
    EXPECT_EQ(s.delegate->calls[0].font->fontName(), p.fontArray()[1]);
    ASSERT_TRUE(p.fontTableView()->indexPathForSelectedRow());
    EXPECT_EQ(p.fontTableView()->indexPathForSelectedRow()->row, 1);
}

// ---- banner room ----

TEST(OptionsBannerRoom, EveryCallAddsItsHeightUnderEveryPage)
{
    PanelOnScreen s;
    auto& p = *s.panel;
    Rect boardFrame = p.textColorView()->frame();
    p.spareADSpace(50);
    EXPECT_DOUBLE_EQ(p.textColorView()->contentSize().height, 602);
    EXPECT_DOUBLE_EQ(p.bgColorView()->contentSize().height, 602);
    EXPECT_DOUBLE_EQ(p.textureView()->contentSize().height, 798);
    EXPECT_DOUBLE_EQ(p.textureView()->contentSize().width, 303);
    ASSERT_TRUE(p.fontTableView()->tableFooterView());
    expectRect(p.fontTableView()->tableFooterView()->bounds(), {{0, 0}, {320, 50}}, "footer");

    p.spareADSpace(50);
    EXPECT_DOUBLE_EQ(p.textColorView()->contentSize().height, 652);
    EXPECT_DOUBLE_EQ(p.bgColorView()->contentSize().height, 652);
    EXPECT_DOUBLE_EQ(p.textureView()->contentSize().height, 848);
    EXPECT_DOUBLE_EQ(p.fontTableView()->tableFooterView()->bounds().size.height, 50);
    expectRect(p.textColorView()->frame(), boardFrame, "board keeps its frame");
    // The extra room can be scrolled to.
    EXPECT_DOUBLE_EQ(p.textColorView()->maxContentOffset().y, 652 - 214);
}

// ---- real taps ----

TEST(OptionsTaps, ASwatchTappedOnScreenIsPickedEvenWhenScrolled)
{
    PanelOnScreen s;
    auto& p = *s.panel;
    // Swatch 7 (row 1, column 0) sits at (29, 82) in the board, which starts at (8.5, 44) in the panel.
    s.harness.tap(8.5 + 29, 217 + 44 + 82);
    ASSERT_EQ(s.delegate->ops(), std::vector<std::string>{"textColor"});
    EXPECT_EQ(s.delegate->calls[0].color, StyleCatalogue::paletteColor(7));

    // Scrolled down 100 points: row 3, column 1 is swatch 20.
    p.textColorView()->setContentOffset({0, 100});
    s.delegate->calls.clear();
    s.harness.tap(8.5 + 29 + 49, 217 + 44 + 33 + 3 * 49 - 100);
    ASSERT_EQ(s.delegate->ops(), std::vector<std::string>{"textColor"});
    EXPECT_EQ(s.delegate->calls[0].color, StyleCatalogue::paletteColor(20));

    // A tap on the background page's board after switching.
    s.harness.tap(120, 217 + 24);
    s.delegate->calls.clear();
    s.harness.tap(8.5 + 29, 217 + 44 + 33);
    ASSERT_EQ(s.delegate->ops(), std::vector<std::string>{"bgColor"});
    EXPECT_EQ(s.delegate->calls[0].color, StyleCatalogue::paletteColor(1));
}

TEST(OptionsTaps, ATextureTappedOnScreenIsPicked)
{
    PanelOnScreen s;
    s.harness.tap(200, 217 + 24);
    s.delegate->calls.clear();
    // Texture 9: row 1, column 2.
    s.harness.tap(8.5 + 29 + 2 * 49, 217 + 44 + 82);
    ASSERT_EQ(s.delegate->ops(), std::vector<std::string>{"texture"});
    EXPECT_EQ(s.delegate->calls[0].texture, "9");
}
