#include "options/OptionsView.h"

#include "core/Log.h"
#include "graphics/Image.h"
#include "options/StyleCatalogue.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/ScrollView.h"
#include "ui/TableViewCell.h"

#include <fmt/format.h>

#include <stdlib.h>

#include <array>

namespace vq {

namespace {

constexpr int kColorRows = 11;
constexpr int kTextureRows = 15;
constexpr int kColumns = StyleCatalogue::swatchesPerRow;

// Shared by every panel of the process; every fourth random style draws
// from the second texture set.
int gDrawCounter = 0;
std::function<std::uint32_t()> gRandomSource;

std::uint32_t nextRandom()
{
    return gRandomSource ? gRandomSource() : arc4random();
}

} // namespace

OptionsView::Layout OptionsView::layoutFor(DeviceVariant variant)
{
    switch (variant) {
    case DeviceVariant::Tablet:
        return {"bg-1-ipad", {192, 100}, 192, 52, {80, 80}, 38, {88, 88}, 45, 21, "-ipad"};
    case DeviceVariant::TallPhone:
        return {"bg-1-i5", {80, 49}, 80, 24, {40, 40}, 9, {44, 44}, 30, 17, ""};
    case DeviceVariant::Phone:
        break;
    }
    return {"bg-1", {80, 49}, 80, 24, {40, 40}, 9, {44, 44}, 30, 17, ""};
}

OptionsView::OptionsView(Rect frame)
    : View(frame), _variant(currentDeviceVariant()), _layout(layoutFor(_variant))
{
}

std::shared_ptr<OptionsView> OptionsView::create(Rect frame)
{
    auto view = std::shared_ptr<OptionsView>(new OptionsView(frame));
    view->build(std::nullopt);
    return view;
}

std::shared_ptr<OptionsView> OptionsView::create(Rect frame, std::vector<std::string> fontArray)
{
    auto view = std::shared_ptr<OptionsView>(new OptionsView(frame));
    view->build(std::move(fontArray));
    return view;
}

void OptionsView::build(std::optional<std::vector<std::string>> fontArray)
{
    Size size = bounds().size;
    auto background = ImageView::create(Rect{{0, 0}, size});
    background->setImage(Image::imageNamed(_layout.background));
    addSubview(background);

    setupUI();

    _textColorView = initialTextColorView();
    addSubview(_textColorView);
    _bgColorView = initialBgColorView();
    addSubview(_bgColorView);
    _textureView = initialTextureView();
    addSubview(_textureView);

    _fontArray = std::move(fontArray);
    _fontTableView = genFontView();
    addSubview(_fontTableView);

    _currentStatus = kTextColorButtonTag;
    setHiddenAndShow(*_textColorButton);

    // The tabs overlap the top edge of the pages.
    for (const auto& tab : {_textColorButton, _bgColorButton, _textureButton, _fontTableButton})
        bringSubviewToFront(tab);
}

double OptionsView::fontSize() const { return _layout.fontSize; }

void OptionsView::setFontArrayForTests(std::vector<std::string> fontArray)
{
    _fontArray = std::move(fontArray);
    if (_fontTableView && _fontListLoaded)
        _fontTableView->reloadData();
}

// ---- construction ----

std::shared_ptr<Button> OptionsView::makeTab(int index, int tag, const std::string& image)
{
    auto button = Button::create(Rect{{0, 0}, _layout.tabSize});
    button->setCenter({_layout.tabStep * index + _layout.tabStep / 2, _layout.tabCenterY});
    button->setTag(tag);
    button->setImage(Image::imageNamed(image + _layout.imageSuffix), ControlState::Normal);
    button->setImage(Image::imageNamed(image + "-hl" + _layout.imageSuffix), ControlState::Selected);
    std::weak_ptr<OptionsView> weakSelf = std::static_pointer_cast<OptionsView>(self());
    std::weak_ptr<Button> weakButton = button;
    button->addAction(ControlEvent::TouchUpInside, [weakSelf, weakButton] {
        auto panel = weakSelf.lock();
        auto tab = weakButton.lock();
        if (panel && tab)
            panel->setHiddenAndShow(*tab);
    });
    addSubview(button);
    return button;
}

void OptionsView::setupUI()
{
    _textColorButton = makeTab(0, kTextColorButtonTag, "text");
    _bgColorButton = makeTab(1, kBgColorButtonTag, "color");
    _textureButton = makeTab(2, kTextureButtonTag, "texture");
    _fontTableButton = makeTab(3, kFontTableButtonTag, "font");
}

Rect OptionsView::boardFrame() const
{
    Size panel = bounds().size;
    double bh = _layout.tabSize.height;
    Size size = _variant == DeviceVariant::Tablet ? Size{740, 426} : Size{303, panel.height - bh};
    Point center{panel.width / 2, (panel.height + bh) / 2 - 5};
    return {{center.x - size.width / 2, center.y - size.height / 2}, size};
}

Point OptionsView::cellCenter(int index) const
{
    double step = _layout.spacing + _layout.cellSize.width;
    double first = _layout.spacing + _layout.cellSize.width / 2;
    int row = index / kColumns;
    int column = index % kColumns;
    return {first + step * column, first + 4 + step * row};
}

double OptionsView::contentHeight(int rows) const
{
    return _layout.spacing + 4 + rows * (_layout.spacing + _layout.cellSize.height);
}

std::shared_ptr<ScrollView> OptionsView::makeBoard(int contentTag, int rows)
{
    Rect frame = boardFrame();
    auto board = ScrollView::create(frame);
    board->setShowsVerticalScrollIndicator(true);
    board->setShowsHorizontalScrollIndicator(false);
    board->setAlwaysBounceVertical(true);

    auto content = View::create(Rect{{0, 0}, {frame.size.width, contentHeight(rows)}});
    content->setTag(contentTag);
    content->setUserInteractionEnabled(true);
    board->addSubview(content);
    board->setContentSize(content->bounds().size);
    return board;
}

static std::shared_ptr<ImageView> makeMark(Size size)
{
    auto mark = ImageView::create(Rect{{0, 0}, size});
    mark->setImage(Image::imageNamed("square-hl"));
    mark->setHidden(true);
    mark->setTag(OptionsView::kSelectionMarkTag);
    return mark;
}

std::shared_ptr<ScrollView> OptionsView::genColorBoardView()
{
    auto board = makeBoard(kColorContentTag, kColorRows);
    auto content = board->subviews().front();
    std::weak_ptr<OptionsView> weakSelf = std::static_pointer_cast<OptionsView>(self());
    for (int i = 0; i < StyleCatalogue::swatchCount; ++i) {
        auto swatch = Button::create(Rect{{0, 0}, _layout.cellSize});
        swatch->setCornerRadius(8);
        // Numbered by position, which is palette order.
        swatch->setTag(static_cast<int>(content->subviews().size()) + 1);
        swatch->setBackgroundColor(StyleCatalogue::paletteColor(swatch->tag()));
        swatch->setCenter(cellCenter(i));
        std::weak_ptr<Button> weakSwatch = swatch;
        swatch->addAction(ControlEvent::TouchUpInside, [weakSelf, weakSwatch] {
            auto panel = weakSelf.lock();
            auto picked = weakSwatch.lock();
            if (panel && picked)
                panel->selectColor(*picked);
        });
        content->addSubview(swatch);
    }
    content->addSubview(makeMark(_layout.markSize));
    return board;
}

std::shared_ptr<ScrollView> OptionsView::genTextureView()
{
    auto grid = makeBoard(kTextureContentTag, kTextureRows);
    auto content = grid->subviews().front();
    std::weak_ptr<OptionsView> weakSelf = std::static_pointer_cast<OptionsView>(self());
    for (int n = 1; n <= StyleCatalogue::textureCount(); ++n) {
        auto button = Button::create(Rect{{0, 0}, _layout.cellSize});
        button->setImage(Image::imageNamed(StyleCatalogue::thumbnailName(n)), ControlState::Normal);
        button->setCenter(cellCenter(n - 1));
        button->setTag(n);
        std::weak_ptr<Button> weakButton = button;
        button->addAction(ControlEvent::TouchUpInside, [weakSelf, weakButton] {
            auto panel = weakSelf.lock();
            auto picked = weakButton.lock();
            if (panel && picked)
                panel->selectTexture(*picked);
        });
        content->addSubview(button);
    }
    content->addSubview(makeMark(_layout.markSize));
    return grid;
}

std::shared_ptr<ScrollView> OptionsView::initialTextColorView()
{
    auto board = genColorBoardView();
    board->setTag(kTextColorViewTag);
    return board;
}

std::shared_ptr<ScrollView> OptionsView::initialBgColorView()
{
    auto board = genColorBoardView();
    board->setTag(kBgColorViewTag);
    return board;
}

std::shared_ptr<ScrollView> OptionsView::initialTextureView()
{
    auto grid = genTextureView();
    grid->setTag(kTextureViewTag);
    return grid;
}

std::shared_ptr<TableView> OptionsView::genFontView()
{
    Size panel = bounds().size;
    double bh = _layout.tabSize.height;
    Size size{panel.width, panel.height - bh};
    Point center{panel.width / 2, (panel.height + bh) / 2 - 4};
    auto table = TableView::create({{center.x - size.width / 2, center.y - size.height / 2}, size}, TableViewStyle::Plain);
    table->setTag(kFontTableViewTag);
    table->setBackgroundColor(Color::clearColor());
    table->setSeparatorStyle(TableViewCellSeparatorStyle::None);
    table->setRowHeight(_layout.rowHeight);
    table->setTableHeaderView(View::create(Rect{{0, 0}, {size.width, 4}}));
    return table;
}

void OptionsView::genFontName() const { _fontArray = StyleCatalogue::buildFontList(); }

const std::vector<std::string>& OptionsView::fontArray() const
{
    // Listing the installed faces is a good part of the launch, and the page is hidden then.
    if (!_fontArray)
        genFontName();
    return *_fontArray;
}

// Each row loads its own face, so the rows are made when the list is first needed,
// not while the page is hidden at launch.
void OptionsView::loadFontList()
{
    if (_fontListLoaded)
        return;
    _fontListLoaded = true;
    auto me = std::static_pointer_cast<OptionsView>(self());
    _fontTableView->setDataSource(std::weak_ptr<TableViewDataSource>(me));
    _fontTableView->setDelegate(std::weak_ptr<TableViewDelegate>(me));
    _fontTableView->reloadData();
}

// ---- picks ----

void OptionsView::setHiddenAndShow(const View& tabButton)
{
    if (auto d = delegate())
        d->resign();
    _currentStatus = tabButton.tag();
    if (_currentStatus < kTextColorButtonTag || _currentStatus > kFontTableButtonTag)
        return;

    const std::array<std::pair<std::shared_ptr<Button>, std::shared_ptr<View>>, 4> pairs{{
        {_textColorButton, _textColorView},
        {_bgColorButton, _bgColorView},
        {_textureButton, _textureView},
        {_fontTableButton, _fontTableView},
    }};
    if (_currentStatus == kFontTableButtonTag)
        loadFontList();
    for (const auto& [tab, page] : pairs) {
        bool active = tab->tag() == _currentStatus;
        tab->setSelected(active);
        page->setHidden(!active);
    }
}

std::shared_ptr<View> OptionsView::markBeside(const View& control)
{
    auto parent = control.superview();
    return parent ? parent->viewWithTag(kSelectionMarkTag) : nullptr;
}

std::shared_ptr<View> OptionsView::markIn(const std::shared_ptr<ScrollView>& page)
{
    return page ? page->viewWithTag(kSelectionMarkTag) : nullptr;
}

void OptionsView::showMark(const std::shared_ptr<View>& mark, Point center)
{
    if (!mark)
        return;
    if (mark->isHidden())
        mark->setHidden(false);
    mark->setCenter(center);
}

static void hideMark(const std::shared_ptr<View>& mark)
{
    if (mark)
        mark->setHidden(true);
}

std::optional<Color> OptionsView::getColor(const View& swatch) const
{
    return StyleCatalogue::paletteColor(swatch.tag());
}

void OptionsView::selectColor(const View& swatch)
{
    showMark(markBeside(swatch), swatch.center());
    auto color = getColor(swatch);
    auto d = delegate();
    // The open page decides what the colour is for.
    if (_currentStatus == kBgColorButtonTag) {
        if (d && color)
            d->changeBgColor(*color);
        hideMark(markIn(_textureView));
    } else if (_currentStatus == kTextColorButtonTag) {
        if (d && color)
            d->changeTextColor(*color);
    }
}

void OptionsView::selectTexture(const View& textureButton)
{
    showMark(markBeside(textureButton), textureButton.center());
    if (auto d = delegate())
        d->changeTextureView(fmt::format("{}", textureButton.tag()));
    // A texture replaces any background colour.
    hideMark(markIn(_bgColorView));
}

std::optional<Font> OptionsView::fontForRow(int row) const
{
    if (row < 0)
        return std::nullopt;
    return StyleCatalogue::fontForEntry(fontArray(), static_cast<std::size_t>(row), _layout.fontSize);
}

void OptionsView::sendFontForRow(int row)
{
    auto font = fontForRow(row);
    if (!font) {
        log("no font for row {}", row);
        return;
    }
    if (auto d = delegate())
        d->changeFont(*font);
}

// ---- font list ----

int OptionsView::numberOfSections(TableView&) { return 1; }

int OptionsView::numberOfRowsInSection(TableView&, int) { return static_cast<int>(fontArray().size()); }

double OptionsView::heightForRowAtIndexPath(TableView&, const IndexPath&) { return _layout.rowHeight; }

std::shared_ptr<TableViewCell> OptionsView::cellForRowAtIndexPath(TableView& tableView, const IndexPath& indexPath)
{
    int row = indexPath.row;
    std::string identifier = row % 2 == 1 ? kOddRowIdentifier : kEvenRowIdentifier;
    auto cell = tableView.dequeueReusableCellWithIdentifier(identifier);
    if (!cell)
        cell = TableViewCell::create(TableViewCellStyle::Subtitle, identifier);
    cell->setSelectionStyle(TableViewCellSelectionStyle::Blue);
    auto label = cell->textLabel();
    label->setText(row >= 0 && row < static_cast<int>(fontArray().size()) ? fontArray()[static_cast<std::size_t>(row)] : "");
    label->setTextColor(Color::whiteColor());
    // A face that has gone missing still shows its name, in the system font.
    label->setFont(fontForRow(row).value_or(Font::systemFont(_layout.fontSize)));
    cell->setBackgroundColor(Color::clearColor());
    return cell;
}

void OptionsView::didSelectRowAtIndexPath(TableView&, const IndexPath& indexPath) { sendFontForRow(indexPath.row); }

// ---- banner room ----

void OptionsView::spareADSpace(double height)
{
    for (const auto& board : {_textColorView, _bgColorView}) {
        Size content = board->contentSize();
        board->setContentSize({content.width, content.height + height});
    }
    Size grid = _textureView->contentSize();
    _textureView->setContentSize({_textureView->frame().size.width, grid.height + height});
    _fontTableView->setTableFooterView(View::create(Rect{{0, 0}, {bounds().size.width, height}}));
}

// ---- random style ----

int OptionsView::getRandomNumber(int from, int to)
{
    std::uint32_t r = nextRandom();
    if (to < from)
        return from;
    auto span = static_cast<std::uint32_t>(static_cast<std::int64_t>(to) - from + 1);
    return from + static_cast<int>(r % span);
}

void OptionsView::setRandomSourceForTests(std::function<std::uint32_t()> source) { gRandomSource = std::move(source); }

int OptionsView::drawCounter() { return gDrawCounter; }

void OptionsView::resetDrawCounterForTests() { gDrawCounter = 0; }

void OptionsView::random()
{
    // All five are drawn every time, used or not.
    int mode = getRandomNumber(0, 1);
    int textIndex = getRandomNumber(0, StyleCatalogue::swatchCount - 1);
    int bgIndex = getRandomNumber(0, StyleCatalogue::lastColouredSwatch - 1);
    int texture = getRandomNumber(StyleCatalogue::firstTextureRangeBegin, StyleCatalogue::firstTextureRangeEnd);
    int fontRow = getRandomNumber(0, static_cast<int>(fontArray().size()) - 1);
    if (gDrawCounter % 4 == 3) {
        texture = getRandomNumber(StyleCatalogue::secondTextureRangeBegin, StyleCatalogue::secondTextureRangeEnd);
        mode = 1;
    }

    // Both boards are laid out alike, so the text board gives the background swatch too.
    auto textSwatch = _textColorView->viewWithTag(textIndex + 1);
    auto bgSwatch = _textColorView->viewWithTag(bgIndex + 1);
    auto textureButton = _textureView->viewWithTag(texture);
    ++gDrawCounter;

    if (!fontArray().empty()) {
        loadFontList();
        _fontTableView->selectRowAtIndexPath({0, fontRow}, false, TableViewScrollPosition::Top);
        sendFontForRow(fontRow);
    }

    auto d = delegate();
    if (textSwatch) {
        showMark(markIn(_textColorView), textSwatch->center());
        if (auto color = getColor(*textSwatch); d && color)
            d->changeTextColor(*color);
    }

    if (mode == 1) {
        if (textureButton)
            selectTexture(*textureButton);
    } else if (bgSwatch) {
        showMark(markIn(_bgColorView), bgSwatch->center());
        hideMark(markIn(_textureView));
        if (auto color = getColor(*bgSwatch); d && color)
            d->changeBgColor(*color);
    }
}

} // namespace vq
