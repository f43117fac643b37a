#include "graphics/Image.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/TableView.h"
#include "ui/TableViewCell.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vq;

namespace {

bool hasSubview(View& parent, const std::shared_ptr<View>& child)
{
    auto& subs = parent.subviews();
    return std::find(subs.begin(), subs.end(), child) != subs.end();
}

TEST(TableViewCell, SubtitleStylePutsTheDetailUnderTheMainLabel)
{
    auto cell = TableViewCell::create(TableViewCellStyle::Subtitle, "app");
    cell->setFrame({0, 0, 320, 60});
    cell->textLabel()->setText("Velvet");
    cell->detailTextLabel()->setText("a detail line");
    cell->layoutIfNeeded();
    Rect main = cell->textLabel()->frame();
    Rect detail = cell->detailTextLabel()->frame();
    EXPECT_GT(main.height(), 0);
    EXPECT_DOUBLE_EQ(detail.minY(), main.maxY());
    EXPECT_DOUBLE_EQ(main.x(), detail.x());
    // The pair is centred in the row.
    EXPECT_NEAR(main.minY(), 60 - detail.maxY(), 0.5);
    EXPECT_EQ(cell->textLabel()->superview(), cell->contentView());
    EXPECT_EQ(cell->contentView()->frame(), cell->bounds());

    auto plain = TableViewCell::create(TableViewCellStyle::Default, "");
    EXPECT_EQ(plain->detailTextLabel(), nullptr);
    plain->setFrame({0, 0, 320, 44});
    plain->textLabel()->setText("x");
    plain->layoutIfNeeded();
    EXPECT_EQ(plain->textLabel()->frame(), (Rect{TableViewCell::kMargin, 0, 320 - 2 * TableViewCell::kMargin, 44}));
}

TEST(TableViewCell, AnImageMovesTheLabelsAside)
{
    auto cell = TableViewCell::create(TableViewCellStyle::Default, "");
    cell->setFrame({0, 0, 320, 44});
    cell->imageView()->setImage(Image::blank(60, 60, 2)); // 30 points
    cell->textLabel()->setText("x");
    cell->layoutIfNeeded();
    EXPECT_EQ(cell->imageView()->frame(), (Rect{15, 7, 30, 30}));
    EXPECT_DOUBLE_EQ(cell->textLabel()->frame().x(), 60);
}

TEST(TableViewCell, SelectionShowsTheSelectedBackgroundOfItsStyle)
{
    auto cell = TableViewCell::create(TableViewCellStyle::Default, "");
    cell->setFrame({0, 0, 320, 44});
    auto label = cell->textLabel();
    EXPECT_EQ(cell->selectionStyle(), TableViewCellSelectionStyle::Blue);
    std::size_t before = cell->subviews().size();
    cell->setSelected(true, false);
    ASSERT_EQ(cell->subviews().size(), before + 1);
    auto shown = cell->subviews().front(); // behind the content
    EXPECT_EQ(shown->frame(), cell->bounds());
    ASSERT_TRUE(shown->backgroundColor());
    EXPECT_GT(shown->backgroundColor()->b, shown->backgroundColor()->r);
    EXPECT_TRUE(label->isHighlighted());
    cell->setSelected(false, false);
    EXPECT_EQ(cell->subviews().size(), before);
    EXPECT_FALSE(label->isHighlighted());

    // A view of one's own replaces the default one; style None shows nothing.
    auto mine = View::create();
    cell->setSelectedBackgroundView(mine);
    cell->setHighlighted(true, false);
    EXPECT_TRUE(hasSubview(*cell, mine));
    EXPECT_EQ(mine->frame(), cell->bounds());
    cell->setHighlighted(false, false);
    EXPECT_FALSE(hasSubview(*cell, mine));
    cell->setSelectionStyle(TableViewCellSelectionStyle::None);
    cell->setSelected(true, false);
    EXPECT_FALSE(hasSubview(*cell, mine));
    EXPECT_EQ(cell->subviews().size(), before);

    cell->prepareForReuse();
    EXPECT_FALSE(cell->isSelected());
}

// A cell that keeps a margin by overriding setFrame, as the reward wall's rows do.
class InsetCell : public TableViewCell {
public:
    static std::shared_ptr<InsetCell> create(TableViewCellStyle style, std::string reuseIdentifier)
    {
        return std::shared_ptr<InsetCell>(new InsetCell(style, std::move(reuseIdentifier)));
    }
    void setFrame(Rect frame) override { TableViewCell::setFrame(frame.insetBy(10, 2)); }

protected:
    using TableViewCell::TableViewCell;
};

class InsetSource : public TableViewDataSource {
public:
    int numberOfRowsInSection(TableView&, int) override { return 3; }
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView& table, const IndexPath&) override
    {
        if (auto cell = table.dequeueReusableCellWithIdentifier("inset"))
            return cell;
        return InsetCell::create(TableViewCellStyle::Default, "inset");
    }
};

TEST(TableViewCell, TheTableSetsFramesThroughAnOverridableSetFrame)
{
    auto table = TableView::create({0, 0, 320, 200});
    auto source = std::make_shared<InsetSource>();
    table->setDataSource(source);
    table->layoutIfNeeded();
    auto cell = table->cellForRowAtIndexPath({0, 1});
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->frame(), (Rect{10, 46, 300, 40}));
    table->setFrame({0, 0, 200, 200});
    table->layoutIfNeeded();
    EXPECT_EQ(cell->frame(), (Rect{10, 46, 180, 40}));
}

} // namespace
