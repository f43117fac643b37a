#include "ui/TableView.h"

#include "core/Log.h"
#include "ui/TableViewCell.h"

#include <algorithm>

namespace vq {

double TableViewDelegate::heightForRowAtIndexPath(TableView& tableView, const IndexPath&) { return tableView.rowHeight(); }

std::shared_ptr<TableView> TableView::create(Rect frame, TableViewStyle style)
{
    return std::shared_ptr<TableView>(new TableView(frame, style));
}

TableView::TableView(Rect frame, TableViewStyle style) : ScrollView(frame), _style(style)
{
    setAlwaysBounceVertical(true);
}

TableView::~TableView() = default;

void TableView::setDataSource(std::weak_ptr<TableViewDataSource> dataSource)
{
    _dataSource = std::move(dataSource);
    _needsReload = true;
    setNeedsLayout();
}

void TableView::setDelegate(std::weak_ptr<TableViewDelegate> delegate)
{
    _tableDelegate = delegate;
    ScrollView::setDelegate(std::move(delegate));
    _needsReload = true;
    setNeedsLayout();
}

void TableView::setRowHeight(double height)
{
    _rowHeight = std::max(0.0, height);
    _needsReload = true;
    setNeedsLayout();
}

void TableView::setPlacedView(std::shared_ptr<View>& slot, std::shared_ptr<View> view)
{
    if (slot == view)
        return;
    if (slot)
        slot->removeFromSuperview();
    slot = std::move(view);
    if (slot)
        addSubview(slot);
}

void TableView::setTableHeaderView(std::shared_ptr<View> view)
{
    setPlacedView(_headerView, std::move(view));
    if (_needsReload)
        reloadData();
    else
        layoutRows();
}

void TableView::setTableFooterView(std::shared_ptr<View> view)
{
    setPlacedView(_footerView, std::move(view));
    if (_needsReload)
        reloadData();
    else
        layoutRows();
}

void TableView::setBackgroundView(std::shared_ptr<View> view)
{
    if (_backgroundView == view)
        return;
    if (_backgroundView)
        _backgroundView->removeFromSuperview();
    _backgroundView = std::move(view);
    if (_backgroundView) {
        insertSubview(_backgroundView, 0);
        _backgroundView->setFrame(bounds());
    }
}

std::size_t TableView::cellInsertionIndex() const { return _backgroundView ? 1 : 0; }

void TableView::ensureLoaded()
{
    if (_needsReload)
        reloadData();
}

bool TableView::isValid(const IndexPath& p) const
{
    return p.section >= 0 && static_cast<std::size_t>(p.section) < _sections.size() && p.row >= 0
           && static_cast<std::size_t>(p.row) < _sections[static_cast<std::size_t>(p.section)].heights.size();
}

void TableView::reloadData()
{
    _needsReload = false;
    for (auto& [path, cell] : std::map(_visible))
        recycle(cell);
    _visible.clear();
    _pressed.reset();

    _sections.clear();
    auto source = dataSource();
    auto del = delegate();
    int sectionCount = source ? std::max(0, source->numberOfSections(*this)) : 0;
    _sections.resize(static_cast<std::size_t>(sectionCount));
    for (int s = 0; s < sectionCount; ++s) {
        int rows = std::max(0, source->numberOfRowsInSection(*this, s));
        auto& heights = _sections[static_cast<std::size_t>(s)].heights;
        heights.reserve(static_cast<std::size_t>(rows));
        for (int r = 0; r < rows; ++r)
            heights.push_back(del ? std::max(0.0, del->heightForRowAtIndexPath(*this, {s, r})) : _rowHeight);
    }
    if (_selected && !isValid(*_selected))
        _selected.reset();
    layoutRows();
}

void TableView::layoutRows()
{
    double width = bounds().width();
    double y = 0;
    if (_headerView) {
        Rect f = _headerView->frame();
        _headerView->setFrame({0, 0, width, f.height()});
        y = f.height();
    }
    for (auto& section : _sections) {
        section.tops.resize(section.heights.size());
        for (std::size_t r = 0; r < section.heights.size(); ++r) {
            section.tops[r] = y;
            y += section.heights[r];
        }
    }
    _rowsBottom = y;
    if (_footerView) {
        Rect f = _footerView->frame();
        _footerView->setFrame({0, y, width, f.height()});
        y += f.height();
    }
    setContentSize({width, y});

    // Content that shrank should not leave the view scrolled past its end.
    Point offset = contentOffset();
    Point max = maxContentOffset();
    if (!isDragging() && (offset.y > max.y || offset.x > max.x))
        setContentOffset({std::min(offset.x, max.x), std::min(offset.y, max.y)}, false);

    for (auto& [path, cell] : _visible)
        cell->setFrame(rectForRowAtIndexPath(path));
    updateVisibleCells();
}

void TableView::layoutSubviews()
{
    if (_backgroundView)
        _backgroundView->setFrame(bounds());
    if (_needsReload)
        reloadData();
    else
        layoutRows();
}

void TableView::contentOffsetDidChange()
{
    if (_backgroundView)
        _backgroundView->setFrame(bounds());
    if (!_needsReload)
        updateVisibleCells();
}

int TableView::numberOfSections()
{
    ensureLoaded();
    return static_cast<int>(_sections.size());
}

int TableView::numberOfRowsInSection(int section)
{
    ensureLoaded();
    if (section < 0 || static_cast<std::size_t>(section) >= _sections.size())
        return 0;
    return static_cast<int>(_sections[static_cast<std::size_t>(section)].heights.size());
}

Rect TableView::rectForRowAtIndexPath(const IndexPath& p)
{
    ensureLoaded();
    if (!isValid(p))
        return {};
    auto& s = _sections[static_cast<std::size_t>(p.section)];
    auto r = static_cast<std::size_t>(p.row);
    return {0, s.tops[r], bounds().width(), s.heights[r]};
}

std::optional<IndexPath> TableView::indexPathForRowAtPoint(Point point)
{
    ensureLoaded();
    if (point.x < 0 || point.x >= bounds().width())
        return std::nullopt;
    for (std::size_t s = 0; s < _sections.size(); ++s) {
        auto& sec = _sections[s];
        // The last row starting at or above the point.
        auto it = std::upper_bound(sec.tops.begin(), sec.tops.end(), point.y);
        if (it == sec.tops.begin())
            continue;
        auto r = static_cast<std::size_t>(it - sec.tops.begin()) - 1;
        if (point.y < sec.tops[r] + sec.heights[r])
            return IndexPath{static_cast<int>(s), static_cast<int>(r)};
    }
    return std::nullopt;
}

std::shared_ptr<TableViewCell> TableView::cellForRowAtIndexPath(const IndexPath& p)
{
    ensureLoaded();
    auto it = _visible.find(p);
    return it == _visible.end() ? nullptr : it->second;
}

std::optional<IndexPath> TableView::indexPathForCell(const TableViewCell& cell) const
{
    for (auto& [path, c] : _visible)
        if (c.get() == &cell)
            return path;
    return std::nullopt;
}

std::vector<std::shared_ptr<TableViewCell>> TableView::visibleCells()
{
    ensureLoaded();
    std::vector<std::shared_ptr<TableViewCell>> cells;
    for (auto& [path, cell] : _visible)
        cells.push_back(cell);
    return cells;
}

std::vector<IndexPath> TableView::indexPathsForVisibleRows()
{
    ensureLoaded();
    std::vector<IndexPath> paths;
    for (auto& [path, cell] : _visible)
        paths.push_back(path);
    return paths;
}

std::shared_ptr<TableViewCell> TableView::dequeueReusableCellWithIdentifier(const std::string& identifier)
{
    auto it = _reusePool.find(identifier);
    if (it == _reusePool.end() || it->second.empty())
        return nullptr;
    auto cell = std::move(it->second.back());
    it->second.pop_back();
    cell->prepareForReuse();
    return cell;
}

void TableView::recycle(const std::shared_ptr<TableViewCell>& cell)
{
    cell->removeFromSuperview();
    // Cells without an identifier cannot be asked for again.
    if (!cell->reuseIdentifier().empty())
        _reusePool[cell->reuseIdentifier()].push_back(cell);
}

void TableView::updateVisibleCells()
{
    if (_updatingCells || _needsReload)
        return;
    _updatingCells = true;
    // While an offset animation runs, rows on the way are on screen too.
    Rect b = bounds();
    Rect shown = presentationBounds();
    double top = std::min(b.minY(), shown.minY());
    double bottom = std::max(b.maxY(), shown.maxY());

    std::vector<IndexPath> wanted;
    if (b.width() > 0 && b.height() > 0) {
        for (std::size_t s = 0; s < _sections.size(); ++s) {
            auto& sec = _sections[s];
            auto first = std::upper_bound(sec.tops.begin(), sec.tops.end(), top);
            auto r = first == sec.tops.begin() ? 0 : static_cast<std::size_t>(first - sec.tops.begin()) - 1;
            for (; r < sec.tops.size() && sec.tops[r] < bottom; ++r)
                if (sec.heights[r] > 0 && sec.tops[r] + sec.heights[r] > top)
                    wanted.push_back({static_cast<int>(s), static_cast<int>(r)});
        }
    }

    for (auto it = _visible.begin(); it != _visible.end();) {
        if (!std::binary_search(wanted.begin(), wanted.end(), it->first)) {
            recycle(it->second);
            it = _visible.erase(it);
        } else {
            ++it;
        }
    }

    auto source = dataSource();
    for (auto& path : wanted) {
        if (!source || _visible.contains(path))
            continue;
        auto cell = source->cellForRowAtIndexPath(*this, path);
        if (!cell) {
            log("table view: no cell for row {} in section {}", path.row, path.section);
            continue;
        }
        cell->setFrame(rectForRowAtIndexPath(path));
        cell->setSelected(_selected == path, false);
        insertSubview(cell, cellInsertionIndex());
        cell->layoutIfNeeded();
        _visible.emplace(path, std::move(cell));
    }
    _updatingCells = false;
}

void TableView::selectRowAtIndexPath(const IndexPath& p, bool animated, TableViewScrollPosition position)
{
    ensureLoaded();
    if (!isValid(p))
        return;
    if (_selected && *_selected != p)
        deselectRowAtIndexPath(*_selected, animated);
    _selected = p;
    if (auto cell = cellForRowAtIndexPath(p))
        cell->setSelected(true, animated);
    if (position != TableViewScrollPosition::None)
        scrollToRowAtIndexPath(p, position, animated);
}

void TableView::deselectRowAtIndexPath(const IndexPath& p, bool animated)
{
    if (_selected != p)
        return;
    _selected.reset();
    if (auto cell = cellForRowAtIndexPath(p))
        cell->setSelected(false, animated);
}

void TableView::scrollToRowAtIndexPath(const IndexPath& p, TableViewScrollPosition position, bool animated)
{
    Rect row = rectForRowAtIndexPath(p);
    if (!isValid(p))
        return;
    double height = bounds().height();
    double y = contentOffset().y;
    switch (position) {
    case TableViewScrollPosition::Top: y = row.minY(); break;
    case TableViewScrollPosition::Middle: y = row.midY() - height / 2; break;
    case TableViewScrollPosition::Bottom: y = row.maxY() - height; break;
    case TableViewScrollPosition::None:
        scrollRectToVisible(row, animated);
        return;
    }
    setContentOffset({contentOffset().x, std::clamp(y, 0.0, maxContentOffset().y)}, animated);
}

void TableView::tapDidBegin(Point point)
{
    _pressed.reset();
    if (!_allowsSelection)
        return;
    _pressed = indexPathForRowAtPoint(point);
    if (_pressed)
        if (auto cell = cellForRowAtIndexPath(*_pressed))
            cell->setHighlighted(true, false);
}

void TableView::tapDidCancel()
{
    if (_pressed)
        if (auto cell = cellForRowAtIndexPath(*_pressed))
            cell->setHighlighted(false, false);
    _pressed.reset();
}

void TableView::tapDidEnd(Point point)
{
    auto pressed = _pressed;
    tapDidCancel();
    if (pressed && indexPathForRowAtPoint(point) == pressed)
        selectFromTouch(*pressed);
}

void TableView::selectFromTouch(const IndexPath& p)
{
    auto keep = self();
    auto del = delegate();
    if (_selected && *_selected != p) {
        IndexPath old = *_selected;
        deselectRowAtIndexPath(old, false);
        if (del)
            del->didDeselectRowAtIndexPath(*this, old);
    }
    _selected = p;
    if (auto cell = cellForRowAtIndexPath(p))
        cell->setSelected(true, false);
    if (del)
        del->didSelectRowAtIndexPath(*this, p);
}

} // namespace vq
