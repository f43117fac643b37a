#include "core/RunLoop.h"
#include "ui/TableView.h"
#include "ui/TableViewCell.h"

#include "support/ManualClock.h"
#include "TouchDriver.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace vq;
using vq::test::Finger;

namespace {

class Source : public TableViewDataSource, public TableViewDelegate {
public:
    int rows = 100;
    int sections = 1;
    // Even rows are "plain", odd rows "fancy".
    bool twoKinds = false;
    std::vector<double> heights;
    int created = 0;
    int reused = 0;
    std::vector<IndexPath> selected, deselected;

    int numberOfSections(TableView&) override { return sections; }
    int numberOfRowsInSection(TableView&, int) override { return rows; }
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView& table, const IndexPath& p) override
    {
        std::string id = twoKinds && p.row % 2 ? "fancy" : "plain";
        auto cell = table.dequeueReusableCellWithIdentifier(id);
        if (cell) {
            ++reused;
            EXPECT_EQ(cell->reuseIdentifier(), id);
            EXPECT_FALSE(cell->isSelected());
        } else {
            ++created;
            cell = TableViewCell::create(TableViewCellStyle::Default, id);
        }
        cell->setTag(p.section * 1000 + p.row);
        return cell;
    }
    double heightForRowAtIndexPath(TableView& table, const IndexPath& p) override
    {
        auto r = static_cast<std::size_t>(p.row);
        return r < heights.size() ? heights[r] : TableViewDelegate::heightForRowAtIndexPath(table, p);
    }
    void didSelectRowAtIndexPath(TableView&, const IndexPath& p) override { selected.push_back(p); }
    void didDeselectRowAtIndexPath(TableView&, const IndexPath& p) override { deselected.push_back(p); }
};

class TableViewTest : public test::ManualClockTest {
protected:
    void SetUp() override
    {
        ManualClockTest::SetUp();
        root = View::create(Rect{0, 0, 320, 480});
        table = TableView::create({0, 20, 320, 440});
        root->addSubview(table);
        source = std::make_shared<Source>();
    }
    void attach()
    {
        table->setDataSource(source);
        table->setDelegate(source);
        root->layoutIfNeeded();
    }
    // Cells that are subviews of the table, which must be exactly the visible ones.
    std::size_t cellSubviews() const
    {
        std::size_t n = 0;
        for (auto& v : table->subviews())
            n += dynamic_cast<TableViewCell*>(v.get()) != nullptr;
        return n;
    }

    std::shared_ptr<View> root;
    std::shared_ptr<TableView> table;
    std::shared_ptr<Source> source;
};

TEST_F(TableViewTest, OnlyVisibleRowsHaveCellsAndScrollingReusesThem)
{
    attach();
    EXPECT_EQ(table->contentSize(), (Size{320, 4400}));
    EXPECT_EQ(table->indexPathsForVisibleRows().size(), 10u);
    EXPECT_EQ(source->created, 10);

    // Scroll through the whole table in small steps.
    for (double y = 0; y <= 3960; y += 17) {
        table->setContentOffset({0, y});
        for (auto& cell : table->visibleCells()) {
            auto path = table->indexPathForCell(*cell);
            ASSERT_TRUE(path);
            EXPECT_EQ(cell->tag(), path->row);
            EXPECT_EQ(cell->frame(), table->rectForRowAtIndexPath(*path));
        }
        EXPECT_EQ(cellSubviews(), table->visibleCells().size());
    }
    // About a screenful made; everything else came from the pool.
    EXPECT_LE(source->created, 12);
    EXPECT_GT(source->reused, 80);
    EXPECT_NE(table->cellForRowAtIndexPath({0, 99}), nullptr);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 0}), nullptr);
}

TEST_F(TableViewTest, ReuseIdentifiersAreKeptApart)
{
    source->twoKinds = true;
    attach();
    for (double y = 0; y <= 3960; y += 30)
        table->setContentOffset({0, y});
    for (auto& cell : table->visibleCells())
        EXPECT_EQ(cell->reuseIdentifier(), cell->tag() % 2 ? "fancy" : "plain");
    EXPECT_LE(source->created, 14);
    EXPECT_GT(source->reused, 80);
}

TEST_F(TableViewTest, HeaderAndFooterFrameTheRows)
{
    auto header = View::create(Rect{0, 0, 10, 100});
    auto footer = View::create(Rect{0, 0, 10, 30});
    source->rows = 3;
    table->setTableHeaderView(header);
    table->setTableFooterView(footer);
    attach();
    EXPECT_EQ(table->contentSize().height, 100 + 3 * 44 + 30);
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 0}), (Rect{0, 100, 320, 44}));
    EXPECT_EQ(header->frame(), (Rect{0, 0, 320, 100})); // as wide as the table
    EXPECT_EQ(footer->frame(), (Rect{0, 232, 320, 30}));

    table->setTableHeaderView(View::create(Rect{0, 0, 320, 50}));
    EXPECT_EQ(header->superview(), nullptr);
    EXPECT_EQ(table->contentSize().height, 50 + 3 * 44 + 30);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 0})->frame().y(), 50);
    EXPECT_EQ(footer->frame().y(), 182);

    table->setTableFooterView(nullptr);
    EXPECT_EQ(table->contentSize().height, 50 + 3 * 44);
}

TEST_F(TableViewTest, RowHeightsComeFromTheDelegate)
{
    source->rows = 4;
    source->heights = {10, 100, 0, 30};
    attach();
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 1}), (Rect{0, 10, 320, 100}));
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 3}), (Rect{0, 110, 320, 30}));
    EXPECT_EQ(table->indexPathForRowAtPoint({5, 109}), (IndexPath{0, 1}));
    EXPECT_EQ(table->indexPathForRowAtPoint({5, 110}), (IndexPath{0, 3}));
    EXPECT_FALSE(table->indexPathForRowAtPoint({5, 140}));
    // A row of no height gets no cell.
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 2}), nullptr);
    EXPECT_EQ(table->contentSize().height, 140);
    EXPECT_TRUE(table->rectForRowAtIndexPath({0, 9}).isEmpty());
}

TEST_F(TableViewTest, TappingARowSelectsItAndDeselectsThePreviousOne)
{
    attach();
    // Row 2 spans 88..132 in the table, 108..152 in the root.
    test::tap(root, {100, 120});
    EXPECT_EQ(source->selected, (std::vector<IndexPath>{{0, 2}}));
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath{0, 2}));
    auto first = table->cellForRowAtIndexPath({0, 2});
    EXPECT_TRUE(first->isSelected());

    test::tap(root, {100, 170}); // row 3
    EXPECT_EQ(source->deselected, (std::vector<IndexPath>{{0, 2}}));
    EXPECT_EQ(source->selected.back(), (IndexPath{0, 3}));
    EXPECT_FALSE(first->isSelected());
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 3})->isSelected());
}

TEST_F(TableViewTest, TouchHighlightsButADragNeitherSelectsNorStaysHighlighted)
{
    attach();
    Finger f(root, {100, 120});
    auto cell = table->cellForRowAtIndexPath({0, 2});
    EXPECT_TRUE(cell->isHighlighted());
    f.dragTo({100, 40});
    EXPECT_FALSE(cell->isHighlighted());
    f.lift();
    EXPECT_TRUE(source->selected.empty());
    EXPECT_FALSE(table->indexPathForSelectedRow());
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 80);

    table->setAllowsSelection(false);
    test::tap(root, {100, 120});
    EXPECT_TRUE(source->selected.empty());
}

TEST_F(TableViewTest, SelectRowScrollsItToTheTopWithoutTellingTheDelegate)
{
    attach();
    table->selectRowAtIndexPath({0, 50}, false, TableViewScrollPosition::Top);
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 50 * 44);
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 50})->isSelected());
    EXPECT_TRUE(source->selected.empty());

    // Near the end the offset stops at the last screenful.
    table->selectRowAtIndexPath({0, 98}, true, TableViewScrollPosition::Top);
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 4400 - 440);
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath{0, 98}));
    EXPECT_TRUE(source->deselected.empty());

    table->selectRowAtIndexPath({0, 0}, false, TableViewScrollPosition::None);
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 3960);

    table->deselectRowAtIndexPath({0, 0}, false);
    EXPECT_FALSE(table->indexPathForSelectedRow());
    EXPECT_TRUE(source->deselected.empty());
}

TEST_F(TableViewTest, SelectionSurvivesScrollingAwayAndBack)
{
    attach();
    table->selectRowAtIndexPath({0, 1}, false, TableViewScrollPosition::None);
    table->setContentOffset({0, 2000});
    // The selected cell went to the pool and came back for another row unselected.
    for (auto& cell : table->visibleCells())
        EXPECT_FALSE(cell->isSelected());
    table->setContentOffset({0, 0});
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 1})->isSelected());
    EXPECT_FALSE(table->cellForRowAtIndexPath({0, 2})->isSelected());
}

TEST_F(TableViewTest, ReloadWithFewerRowsClampsTheOffsetAndDropsAStaleSelection)
{
    attach();
    table->selectRowAtIndexPath({0, 90}, false, TableViewScrollPosition::Top);
    source->rows = 15;
    table->reloadData();
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 15 * 44 - 440);
    EXPECT_FALSE(table->indexPathForSelectedRow());
    EXPECT_EQ(cellSubviews(), table->visibleCells().size());

    // The data source is not retained.
    source.reset();
    table->reloadData();
    EXPECT_EQ(table->numberOfRowsInSection(0), 0);
    EXPECT_TRUE(table->visibleCells().empty());
    EXPECT_EQ(cellSubviews(), 0u);
}

TEST_F(TableViewTest, BackgroundViewStaysBehindAndInPlace)
{
    auto background = View::create();
    table->setBackgroundView(background);
    attach();
    EXPECT_EQ(table->subviews().front(), background);
    table->setContentOffset({0, 300});
    EXPECT_EQ(background->frame(), table->bounds());
    EXPECT_EQ(table->subviews().front(), background);
}

TEST_F(TableViewTest, AnimatedScrollKeepsRowsOnTheWayUntilItEnds)
{
    attach();
    table->setContentOffset({0, 880}, true);
    // Both ends of the animation have cells while it runs.
    EXPECT_NE(table->cellForRowAtIndexPath({0, 0}), nullptr);
    EXPECT_NE(table->cellForRowAtIndexPath({0, 25}), nullptr);
    RunLoop::main().advance(1);
    EXPECT_EQ(table->cellForRowAtIndexPath({0, 0}), nullptr);
    EXPECT_NE(table->cellForRowAtIndexPath({0, 25}), nullptr);
}

} // namespace
