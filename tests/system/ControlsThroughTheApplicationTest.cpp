// Taps, drags and typing through the application's own touch and key
// dispatch, on views in a real window.
#include "core/RunLoop.h"
#include "system/Application.h"
#include "system/TestReset.h"
#include "ui/Button.h"
#include "ui/TableView.h"
#include "ui/TableViewCell.h"
#include "ui/TextView.h"
#include "ui/Window.h"

#include <gtest/gtest.h>

using namespace vq;

namespace {

class Rows : public TableViewDataSource, public TableViewDelegate {
public:
    std::vector<IndexPath> selected;
    int numberOfRowsInSection(TableView&, int) override { return 100; }
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView& table, const IndexPath&) override
    {
        if (auto cell = table.dequeueReusableCellWithIdentifier("row"))
            return cell;
        return TableViewCell::create(TableViewCellStyle::Default, "row");
    }
    void didSelectRowAtIndexPath(TableView&, const IndexPath& p) override { selected.push_back(p); }
};

class ThroughTheApplication : public testing::Test {
protected:
    void SetUp() override
    {
        resetForTests();
        window = Window::create({0, 0, 320, 480});
        window->makeKeyAndVisible();
    }
    void TearDown() override
    {
        resetForTests();
        RunLoop::main().useSystemClock();
    }
    static Application& app() { return Application::shared(); }

    std::shared_ptr<Window> window;
};

TEST_F(ThroughTheApplication, ADragOnACellScrollsTheTableAndATapSelects)
{
    auto table = TableView::create({0, 0, 320, 480});
    auto rows = std::make_shared<Rows>();
    table->setDataSource(rows);
    table->setDelegate(rows);
    window->addSubview(table);
    window->layoutIfNeeded();

    app().dragFrom({100, 400}, {100, 100});
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 300);
    EXPECT_TRUE(rows->selected.empty());
    for (auto& cell : table->visibleCells())
        EXPECT_FALSE(cell->isHighlighted());

    app().tapAt({100, 22}); // content y 322: row 7
    EXPECT_EQ(rows->selected, (std::vector<IndexPath>{{0, 7}}));
    EXPECT_TRUE(table->cellForRowAtIndexPath({0, 7})->isSelected());
}

TEST_F(ThroughTheApplication, ButtonsFireOnTapsButNotOnDragsAway)
{
    auto button = Button::create({50, 50, 100, 44});
    window->addSubview(button);
    int taps = 0;
    button->addAction(ControlEvent::TouchUpInside, [&taps] { ++taps; });
    app().tapAt({100, 70});
    app().dragFrom({100, 70}, {100, 300});
    EXPECT_EQ(taps, 1);
    EXPECT_FALSE(button->isHighlighted());
}

TEST_F(ThroughTheApplication, TappingATextViewLetsTheUserTypeAndDelete)
{
    auto textView = TextView::create({10, 10, 300, 120});
    window->addSubview(textView);
    app().tapAt({100, 50});
    ASSERT_TRUE(textView->isFirstResponder());
    app().typeText("Hi \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD");
    EXPECT_EQ(textView->text(), "Hi \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD");
    app().pressBackspace();
    EXPECT_EQ(textView->text(), "Hi ");
    app().typeText("\nthere");
    EXPECT_EQ(textView->text(), "Hi \nthere");
}

} // namespace
