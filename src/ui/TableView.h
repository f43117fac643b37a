#pragma once

#include "ui/ScrollView.h"

#include <compare>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace vq {

class TableView;
class TableViewCell;

struct IndexPath {
    int section = 0;
    int row = 0;
    friend auto operator<=>(const IndexPath&, const IndexPath&) = default;
};

enum class TableViewStyle { Plain };
enum class TableViewScrollPosition { None, Top, Middle, Bottom };
// Rows are drawn without separators; there is no other style.
enum class TableViewCellSeparatorStyle { None };

class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;
    virtual int numberOfSections(TableView&) { return 1; }
    virtual int numberOfRowsInSection(TableView& tableView, int section) = 0;
    // Usually a dequeued cell; a new one when the pool has none.
    virtual std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView& tableView, const IndexPath& indexPath) = 0;
};

class TableViewDelegate : public ScrollViewDelegate {
public:
    // The table's rowHeight unless overridden.
    virtual double heightForRowAtIndexPath(TableView& tableView, const IndexPath& indexPath);
    virtual void didSelectRowAtIndexPath(TableView&, const IndexPath&) {}
    virtual void didDeselectRowAtIndexPath(TableView&, const IndexPath&) {}
};

// Rows stacked under the header view, the footer view below them. Only rows
// on screen have cells; cells scrolled away wait in a pool per reuse
// identifier until the data source dequeues them.
class TableView : public ScrollView {
public:
    static constexpr double kDefaultRowHeight = 44;

    static std::shared_ptr<TableView> create(Rect frame = {}, TableViewStyle style = TableViewStyle::Plain);
    ~TableView() override;

    const char* className() const override { return "TableView"; }
    TableViewStyle style() const { return _style; }

    std::shared_ptr<TableViewDataSource> dataSource() const { return _dataSource.lock(); }
    void setDataSource(std::weak_ptr<TableViewDataSource> dataSource);
    std::shared_ptr<TableViewDelegate> delegate() const { return _tableDelegate.lock(); }
    void setDelegate(std::weak_ptr<TableViewDelegate> delegate);

    double rowHeight() const { return _rowHeight; }
    void setRowHeight(double height);
    TableViewCellSeparatorStyle separatorStyle() const { return _separatorStyle; }
    void setSeparatorStyle(TableViewCellSeparatorStyle style) { _separatorStyle = style; }
    bool allowsSelection() const { return _allowsSelection; }
    void setAllowsSelection(bool allows) { _allowsSelection = allows; }

    std::shared_ptr<View> tableHeaderView() const { return _headerView; }
    void setTableHeaderView(std::shared_ptr<View> view);
    std::shared_ptr<View> tableFooterView() const { return _footerView; }
    void setTableFooterView(std::shared_ptr<View> view);
    // Fills the table behind the rows and does not scroll.
    std::shared_ptr<View> backgroundView() const { return _backgroundView; }
    void setBackgroundView(std::shared_ptr<View> view);

    // Asks the data source and delegate again; visible cells go back to the pool.
    void reloadData();
    int numberOfSections();
    int numberOfRowsInSection(int section);

    // In content coordinates; an empty rect for a row that does not exist.
    Rect rectForRowAtIndexPath(const IndexPath& indexPath);
    std::optional<IndexPath> indexPathForRowAtPoint(Point point);
    // The cell on screen for that row, or nullptr.
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(const IndexPath& indexPath);
    std::optional<IndexPath> indexPathForCell(const TableViewCell& cell) const;
    std::vector<std::shared_ptr<TableViewCell>> visibleCells();
    std::vector<IndexPath> indexPathsForVisibleRows();
    std::shared_ptr<TableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier);

    // Selecting from code does not tell the delegate.
    void selectRowAtIndexPath(const IndexPath& indexPath, bool animated, TableViewScrollPosition position);
    void deselectRowAtIndexPath(const IndexPath& indexPath, bool animated);
    std::optional<IndexPath> indexPathForSelectedRow() const { return _selected; }
    void scrollToRowAtIndexPath(const IndexPath& indexPath, TableViewScrollPosition position, bool animated);

    void layoutSubviews() override;

protected:
    void contentOffsetDidChange() override;
    void tapDidBegin(Point point) override;
    void tapDidEnd(Point point) override;
    void tapDidCancel() override;

protected:
    explicit TableView(Rect frame = {}, TableViewStyle style = TableViewStyle::Plain);

private:
    struct Section {
        std::vector<double> tops;    // in content coordinates
        std::vector<double> heights;
    };

    void ensureLoaded();
    bool isValid(const IndexPath& indexPath) const;
    // Row positions, header, footer and content size from the cached heights.
    void layoutRows();
    void updateVisibleCells();
    void recycle(const std::shared_ptr<TableViewCell>& cell);
    void setPlacedView(std::shared_ptr<View>& slot, std::shared_ptr<View> view);
    std::size_t cellInsertionIndex() const;
    void selectFromTouch(const IndexPath& indexPath);

    TableViewStyle _style;
    std::weak_ptr<TableViewDataSource> _dataSource;
    std::weak_ptr<TableViewDelegate> _tableDelegate;
    double _rowHeight = kDefaultRowHeight;
    TableViewCellSeparatorStyle _separatorStyle = TableViewCellSeparatorStyle::None;
    bool _allowsSelection = true;

    std::shared_ptr<View> _headerView;
    std::shared_ptr<View> _footerView;
    std::shared_ptr<View> _backgroundView;

    bool _needsReload = true;
    bool _updatingCells = false;
    std::vector<Section> _sections;
    double _rowsBottom = 0;
    std::map<IndexPath, std::shared_ptr<TableViewCell>> _visible;
    std::unordered_map<std::string, std::vector<std::shared_ptr<TableViewCell>>> _reusePool;
    std::optional<IndexPath> _selected;
    std::optional<IndexPath> _pressed;
};

} // namespace vq
